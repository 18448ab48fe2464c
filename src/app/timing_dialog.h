#pragma once
// 編集 → 時間調整: the dialog of the timing tools (ずらす, 伸縮, チェック), each tab with its preview
// before 適用, and the menu item that opens it.
#include <QDialog>
#include <memory>

class QTabWidget;

namespace kemo {

struct Editor;

class TimingDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TimingDialog(Editor& ed, QWidget* parent = nullptr);
  ~TimingDialog() override;

  // Shows the tab (0 ずらす, 1 伸縮, 2 チェック) with its preview made afresh.
  void ShowTab(int tab);
  // The preview of every tab made afresh from the registered tables.
  void Refresh();

 private:
  struct Parts;
  std::unique_ptr<Parts> p_;
};

// Adds 時間調整(&T)… (Ctrl+T) to the 編集 menu, enabled while the registered times may change.
void WireTiming(Editor& ed);

}  // namespace kemo
