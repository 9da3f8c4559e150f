#pragma once
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

namespace tablor {

// Asks a running operation to stop, from any thread. The operation looks at it between rows;
// a call that may block for long (a login, a query to a server gone quiet) subscribes a way to
// break itself off, which Cancel runs at once.
class CancellationToken {
    struct State {
        std::mutex mutex;
        std::atomic<bool> cancelled{false};
        std::list<std::function<void()>> onCancel;
    };

  public:
    CancellationToken() : state_(std::make_shared<State>()) {}
    CancellationToken(const CancellationToken&) = delete;
    CancellationToken& operator=(const CancellationToken&) = delete;

    // Ends the subscription when it goes. It may outlive the token.
    class Subscription {
      public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription() { Reset(); }
        void Reset() noexcept;

      private:
        friend class CancellationToken;
        std::shared_ptr<State> state_;
        std::list<std::function<void()>>::iterator entry_;
    };

    void Cancel();
    bool IsCancelled() const noexcept { return state_->cancelled.load(); }
    // Throws OperationCancelled once Cancel was called.
    void ThrowIfCancelled() const;

    // Runs `onCancel` when Cancel is called (at once when it already was). It runs on the
    // thread that cancels, so it must be safe to call from any thread and must not throw.
    [[nodiscard]] Subscription OnCancel(std::function<void()> onCancel) const;

    // A token that is never cancelled, for callers that offer no way to stop.
    static const CancellationToken& None();

  private:
    std::shared_ptr<State> state_;
};

}  // namespace tablor
