#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QString>

#include "platform/os/Log.h"
#include "platform/os/Spawn.h"
#include "platform/win32/Desktop.h"

namespace tavrelo::win32 {
namespace {

// Windows message boxes break lines on a lone CR; Qt wants LF.
QString linesFromWindows(const std::string& text) {
  QString out = QString::fromStdString(text);
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QChar('\r'), QChar('\n'));
  return out;
}

class QtDesktop final : public Desktop {
 public:
  void showMessage(const std::string& text, int style, const std::string& title) override {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
      // A tool without windows: the text still reaches the person.
      os::log(title + ": " + text);
      return;
    }
    constexpr int kInformation = 64;
    QMessageBox box((style & kInformation) != 0 ? QMessageBox::Information : QMessageBox::NoIcon,
                    QString::fromStdString(title), linesFromWindows(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    // The texts are the program's own words, never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
  }

  bool askYesNo(const std::string& text, const std::string& title) override {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title), linesFromWindows(text),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Oui"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Non"));
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  }

  std::int64_t startProcess(const std::string& program, const std::vector<std::string>& args,
                            const std::string& directory) override {
    std::string error;
    const pid_t pid = os::spawnDetached(program, args, {directory, {}}, error);
    if (pid == 0) os::log(error);
    return pid;
  }

  std::string findProgram(const std::vector<std::string>& names) override {
    for (const std::string& name : names) {
      const QString path = QStandardPaths::findExecutable(QString::fromStdString(name));
      if (!path.isEmpty()) return path.toStdString();
    }
    return {};
  }
};

Desktop* replacement = nullptr;

}  // namespace

Desktop& desktop() {
  static QtDesktop real;
  return replacement != nullptr ? *replacement : real;
}

void setDesktop(Desktop* newDesktop) {
  replacement = newDesktop;
}

}  // namespace tavrelo::win32
