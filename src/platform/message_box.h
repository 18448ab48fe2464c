#pragma once
// Every report and question of the editor goes through this seam: one modal box titled
// "KemoEditor", with OK, Yes/No or Yes/No/Cancel and no icon, the information icon or the critical
// icon. Texts keep their carriage returns; only the box shows them as line breaks.
#include <QString>
#include <QStringList>
#include <functional>
#include <deque>
#include <vector>

class QWidget;

namespace kemo {

enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Critical };
enum class MsgResult { Ok, Yes, No, Cancel };

inline const QString kAppTitle = QStringLiteral("KemoEditor");

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual MsgResult Show(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None) = 0;
  // A question answered by picking one of `items` (`current` proposed): the index picked, or -1 for
  // a cancel. Where nobody can be asked (the command line), the proposal stands.
  virtual int Choose(const QString& text, const QStringList& items, int current) {
    (void)text;
    (void)items;
    return current;
  }
};

// The toolkit's message box, owned by the main window.
class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  MsgResult Show(const QString& text, MsgButtons buttons, MsgIcon icon) override;
  int Choose(const QString& text, const QStringList& items, int current) override;

 private:
  QWidget* owner_;
};

// The test double: records every box and answers from a script. With the script used up, a question
// gets the fallback answer (Yes unless set otherwise) and an OK box gets Ok.
class ScriptedMessageBoxes : public MessageBoxes {
 public:
  struct Shown {
    QString title;
    QString text;
    MsgButtons buttons;
    MsgIcon icon;
  };
  MsgResult Show(const QString& text, MsgButtons buttons, MsgIcon icon) override;
  // Records the question in `choices` and answers from `picks` (an index, -1 a cancel); with the
  // script used up, the proposal.
  int Choose(const QString& text, const QStringList& items, int current) override;

  void Answer(MsgResult r) { answers.push_back(r); }
  std::deque<MsgResult> answers;
  MsgResult fallback = MsgResult::Yes;
  // A real box runs its own event loop while it is up; > 0 processes events that long per box.
  int pumpMs = 0;
  // Called with each box while it is up (a test looks at the world as the user sees it then).
  std::function<void(const Shown&)> onShow;
  std::vector<Shown> shown;
  struct Choice {
    QString text;
    QStringList items;
    int current = -1;
  };
  std::deque<int> picks;
  std::vector<Choice> choices;

  QString LastText() const { return shown.empty() ? QString() : shown.back().text; }
  void Clear() { shown.clear(); answers.clear(); }
};

}  // namespace kemo
