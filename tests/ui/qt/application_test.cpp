// The application's standard error display for an error that no handler caught.

#include <gtest/gtest.h>

#include <QEvent>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <stdexcept>

#include "qt_environment.h"

namespace kv218::test {
namespace {

// An object whose handler throws what it is given.
class Thrower : public QObject {
 public:
  explicit Thrower(std::function<void()> raise) : raise_(std::move(raise)) {}
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) raise_();
    return QObject::event(event);
  }

 private:
  std::function<void()> raise_;
};

TEST(ApplicationTest, UncaughtErrorsAreShownAndTheApplicationGoesOn) {
  App();
  const struct {
    const char* name;
    std::function<void()> raise;
    QString shown;
  } cases[] = {
      {"error of ours", [] { throw std::runtime_error("Cannot open file /x.hex"); },
       "Cannot open file /x.hex"},
      {"anything else", [] { throw 42; }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QString shownText = "not shown";
    QString shownTitle;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      shownText = box->text();
      shownTitle = box->windowTitle();
      EXPECT_EQ(box->icon(), QMessageBox::Critical);
      box->accept();
    });
    Thrower thrower(c.raise);
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    EXPECT_EQ(shownText, c.shown);
    EXPECT_EQ(shownTitle, "Firmware Upgrade Application");
  }
}

}  // namespace
}  // namespace kv218::test
