#include "app/keyboard_focus.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "document/editor.h"
#include "platform/data_grid.h"
#include "platform/stage.h"

namespace kemo {

namespace {

// A frame drawn around the control with the focus, over everything else in the client area; it
// follows the control when the layout scales and goes when the focus leaves the client area.
class FocusFrame : public QWidget {
 public:
  explicit FocusFrame(QWidget* client) : QWidget(client), client_(client) {
    setObjectName(QStringLiteral("focusFrame"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    QObject::connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { Follow(now); });
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QPen pen(palette().color(QPalette::Highlight), kWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.drawRect(QRectF(rect()).adjusted(kWidth / 2.0, kWidth / 2.0, -kWidth / 2.0, -kWidth / 2.0));
  }

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == target_) {
      switch (e->type()) {
        // A button with the focus takes Space (it presses it) before the window's play/pause does.
        case QEvent::ShortcutOverride: {
          const auto* key = static_cast<QKeyEvent*>(e);
          if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier &&
              qobject_cast<QAbstractButton*>(target_)) {
            e->accept();
            return true;
          }
          break;
        }
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide: Place(); break;
        default: break;
      }
    }
    return false;
  }

 private:
  static constexpr int kWidth = 2;

  void Follow(QWidget* now) {
    if (target_) target_->removeEventFilter(this);
    target_ = (now && now != this && client_->isAncestorOf(now)) ? now : nullptr;
    if (target_) target_->installEventFilter(this);
    Place();
  }

  void Place() {
    if (!target_ || !target_->isVisible()) {
      hide();
      return;
    }
    const QPoint at = target_->mapTo(client_, QPoint(0, 0));
    setGeometry(QRect(at, target_->size()).adjusted(-kWidth, -kWidth, kWidth, kWidth));
    // Only the border is drawn: the control stays visible and usable beneath.
    const QRegion outer(rect());
    setMask(outer.subtracted(QRegion(rect().adjusted(kWidth, kWidth, -kWidth, -kWidth))));
    raise();
    show();
  }

  QWidget* client_;
  QPointer<QWidget> target_;
};

}  // namespace

void SetUpKeyboard(Controls& ui, QWidget* client) {
  // Tab leaves a grid instead of moving its current row (the row a command acts on).
  for (DataGrid* grid : client->findChildren<DataGrid*>()) grid->setTabKeyNavigation(false);

  // Reading order: the column left of the stage top to bottom, then the rest top to bottom.
  const int rightColumn = ui.img ? ui.img->mapTo(client, QPoint(0, 0)).x() : client->width() / 2;
  std::vector<QWidget*> controls;
  for (QWidget* w : client->findChildren<QWidget*>())
    if ((w->focusPolicy() & Qt::TabFocus) && w->window() == client->window() && !qobject_cast<QAbstractItemView*>(w->parentWidget()) &&
        !(w->parentWidget() && qobject_cast<QAbstractItemView*>(w->parentWidget()->parentWidget())))
      controls.push_back(w);
  auto key = [client, rightColumn](QWidget* w) {
    const QPoint at = w->mapTo(client, QPoint(0, 0));
    return std::tuple(at.x() >= rightColumn ? 1 : 0, at.y(), at.x());
  };
  std::stable_sort(controls.begin(), controls.end(), [&key](QWidget* a, QWidget* b) { return key(a) < key(b); });
  for (size_t i = 1; i < controls.size(); ++i) QWidget::setTabOrder(controls[i - 1], controls[i]);

  new FocusFrame(client);
}

}  // namespace kemo
