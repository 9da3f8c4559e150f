#pragma once
#include <QElapsedTimer>

namespace tablor::gui {

// Keeps the window alive during long commands. Handling events after every one of 100,000
// rows would cost more than the rows themselves, so Tick lets events through only when
// 50 ms have passed since the last time; callers tick far more often than that, so the
// window still repaints well within 100 ms.
class EventPump {
  public:
    static constexpr int kIntervalMs = 50;

    // True when the interval has passed since events were last let through.
    bool Due() const { return !last_.isValid() || last_.elapsed() >= kIntervalMs; }
    // Lets pending events through when the interval has passed; true when it did.
    bool Tick();
    // Lets pending events through now.
    void Now();

  private:
    QElapsedTimer last_;
};

}  // namespace tablor::gui
