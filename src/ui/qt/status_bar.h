#pragma once
// StatusBar1: a row of sunken panels along the bottom of the window. Each panel has a design
// width and a text; like the native bar, the last panel reaches to the right edge. A panel
// marked owner-drawn shows no text: whenever its rectangle is laid out anew the bar calls
// DrawPanel with that rectangle so that the window can place what it hosts there.

#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

class QSizeGrip;

namespace kv218 {

class StatusBar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kHeight = 19;

  explicit StatusBar(QWidget* parent = nullptr);

  void AddPanel(int width, const QString& text, bool ownerDrawn = false);
  int PanelCount() const { return static_cast<int>(panels_.size()); }
  int PanelWidth(int panel) const;
  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  // The inside of the panel's sunken frame, in the bar's coordinates: what a drawing handler
  // gets. right() + 1 - left() is the panel width minus 4 for all but the last panel.
  QRect PanelRect(int panel) const;

 signals:
  void DrawPanel(int panel, const QRect& rect);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct Panel {
    int width;
    QString text;
    bool ownerDrawn;
  };
  int PanelLeft(int panel) const;
  void PlaceOwnerDrawn();

  QList<Panel> panels_;
  QSizeGrip* grip_;
};

}  // namespace kv218
