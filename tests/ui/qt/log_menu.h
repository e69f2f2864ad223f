#pragma once
// Right-clicks a form's log and picks the entry called action (none for ""); returns the
// menu's entries as offered.

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include "ui/qt/form1.h"

namespace kv218::test {

inline QStringList PickFromLogMenu(TForm1& form, const QString& action) {
  QStringList entries;
  bool handled = false;
  QTimer::singleShot(0, [&] {
    handled = true;
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) {
      ADD_FAILURE() << "no context menu";
      return;
    }
    QAction* picked = nullptr;
    for (QAction* entry : menu->actions()) {
      entries.append(entry->text());
      if (entry->text() == action) picked = entry;
    }
    menu->close();
    if (picked) picked->trigger();
  });
  const QPoint inside(20, 20);
  QContextMenuEvent event(QContextMenuEvent::Mouse, inside,
                          form.Memo1->viewport()->mapToGlobal(inside));
  QApplication::sendEvent(form.Memo1->viewport(), &event);
  // The menu holds no modal loop of its own: it is picked from once it is up.
  EXPECT_TRUE(QTest::qWaitFor([&] { return handled; }, 5000));
  return entries;
}

}  // namespace kv218::test
