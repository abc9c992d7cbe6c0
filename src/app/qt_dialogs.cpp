#include "app/qt_dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QToolButton>
#include <QUrl>

#include "app/qt_controls.h"

namespace orvel::app {

QWidget* QtDialogs::Parent() const {
  return (owner_ != nullptr && owner_->isVisible()) ? owner_ : nullptr;
}

bool QtDialogs::AskYesNo(const std::string& question) {
  // No parent: a box without one is centred on the screen.
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), ToQt(question),
                  QMessageBox::Yes | QMessageBox::No);
  box.setObjectName(QStringLiteral("confirmBox"));
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::string QtDialogs::ChooseFolder(const std::string& title) {
  QFileDialog dialog(Parent(), ToQt(title));
  dialog.setObjectName(QStringLiteral("folderDialog"));
  dialog.setFileMode(QFileDialog::Directory);
  // ReadOnly keeps the file model from making folders; the button goes too.
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog |
                    QFileDialog::ReadOnly);
  if (auto* button = dialog.findChild<QToolButton*>(QStringLiteral("newFolderButton"))) {
    button->setEnabled(false);
    button->hide();
  }
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? std::string() : FromQt(chosen.front());
}

std::string QtDialogs::AskText(const std::string& caption, const std::string& prompt,
                               const std::string& default_text) {
  QInputDialog dialog(Parent());
  dialog.setObjectName(QStringLiteral("textDialog"));
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(ToQt(caption));
  dialog.setLabelText(ToQt(prompt));
  dialog.setTextValue(ToQt(default_text));
  if (dialog.exec() != QDialog::Accepted) return default_text;
  return FromQt(dialog.textValue());
}

void QtDialogs::ShowNotice(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, app_title_, ToQt(text), QMessageBox::Ok, Parent());
  box.setObjectName(QStringLiteral("noticeBox"));
  box.exec();
}

void QtDialogs::OpenNotice(const std::string& text, std::function<void()> dismissed) {
  // Owned by the window, so it goes with the window.
  auto* box = new QMessageBox(QMessageBox::NoIcon, app_title_, ToQt(text), QMessageBox::Ok, owner_);
  box->setObjectName(QStringLiteral("openNoticeBox"));
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setAttribute(Qt::WA_QuitOnClose, false);
  QObject::connect(box, &QDialog::finished, box, [dismissed = std::move(dismissed)] {
    if (dismissed) dismissed();
  });
  box->show();
}

void QtDialogs::OpenWithShell(const std::string& target) {
  const QString q = ToQt(target);
  const QUrl url = QUrl(q, QUrl::StrictMode);
  const bool has_scheme = url.isValid() && url.scheme().size() > 1;  // "C:" is no scheme
  QDesktopServices::openUrl(has_scheme ? url : QUrl::fromLocalFile(q));
}

}  // namespace orvel::app
