#include "support/Cancellation.hpp"

#include "support/TablorError.hpp"

namespace tablor {

CancellationToken::Subscription::Subscription(Subscription&& other) noexcept
    : state_(std::move(other.state_)), entry_(other.entry_) {}

CancellationToken::Subscription& CancellationToken::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        Reset();
        state_ = std::move(other.state_);
        entry_ = other.entry_;
    }
    return *this;
}

void CancellationToken::Subscription::Reset() noexcept {
    if (!state_) return;
    {
        // Waits for a Cancel running this very entry, so nothing it points at goes under it.
        std::lock_guard lock(state_->mutex);
        state_->onCancel.erase(entry_);
    }
    state_.reset();
}

void CancellationToken::Cancel() {
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled.exchange(true)) return;
    for (const auto& onCancel : state_->onCancel) onCancel();
}

void CancellationToken::ThrowIfCancelled() const {
    if (IsCancelled()) throw OperationCancelled();
}

CancellationToken::Subscription CancellationToken::OnCancel(std::function<void()> onCancel) const {
    Subscription subscription;
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled.load()) {
        onCancel();
        return subscription;
    }
    subscription.state_ = state_;
    subscription.entry_ = state_->onCancel.insert(state_->onCancel.end(), std::move(onCancel));
    return subscription;
}

const CancellationToken& CancellationToken::None() {
    static const CancellationToken never;
    return never;
}

}  // namespace tablor
