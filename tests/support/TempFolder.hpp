#pragma once
#include <string>
#include <string_view>

namespace tablor::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const noexcept { return path_; }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
    // Writes bytes as they are and returns the file's path.
    std::string Write(std::string_view name, std::string_view bytes) const;
    static std::string Read(const std::string& path);

  private:
    std::string path_;
};

}  // namespace tablor::testing
