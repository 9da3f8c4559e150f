#pragma once
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tablor::testing {

// While one lives, the calling thread is held to file modes as an ordinary user is, root
// included: it drops the privileges that pass over them from its effective set and takes
// them back at the end. Tests run as root in CI, where a read-only folder would not bite.
class FileModesBind {
  public:
    FileModesBind() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        dropped_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~FileModesBind() {
        if (dropped_) ::syscall(SYS_capset, &header_, saved_);
    }
    FileModesBind(const FileModesBind&) = delete;
    FileModesBind& operator=(const FileModesBind&) = delete;

    // True when a folder without write permission now refuses a new file, tried in `scratch`.
    static bool Holds(const std::string& scratch) {
        const std::string folder = scratch + "/.modes-probe";
        ::mkdir(folder.c_str(), 0500);
        std::string file = folder + "/XXXXXX";
        const int fd = ::mkstemp(file.data());
        if (fd >= 0) {
            ::close(fd);
            ::unlink(file.c_str());
        }
        ::rmdir(folder.c_str());
        return fd < 0;
    }

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool dropped_ = false;
};

}  // namespace tablor::testing
