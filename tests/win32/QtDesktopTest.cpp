// The real desktop starts programs itself: whatever a path, a registry value
// or a link holds reaches the program as one argument, never a shell.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "platform/win32/Desktop.h"

namespace {

using tavrelo::win32::desktop;

TEST(QtDesktop, StartsExactlyTheProgramWithItsArgumentsAndNoShell) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QDir dir(folder.path());
  // A program whose name and arguments a shell would take apart.
  const QString program = dir.filePath("tool; touch named-pwned");
  const QString out = dir.filePath("out.txt");
  {
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\npwd > '" + out +
                  ".tmp'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + out +
                  ".tmp'; done\nmv '" + out + ".tmp' '" + out + "'\n")
                     .toUtf8());
  }
  ::chmod(program.toLocal8Bit().constData(), 0755);
  const std::vector<std::string> args{"$(touch dollar-pwned)", "`touch tick-pwned`", "a b", "|",
                                      "> redirected"};
  const std::string where = dir.filePath("work").toStdString();
  ASSERT_TRUE(dir.mkpath("work"));

  EXPECT_GT(desktop().startProcess(program.toStdString(), args, where), 0);
  for (int i = 0; i < 100 && !QFileInfo::exists(out); ++i) QTest::qWait(50);
  QFile written(out);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(written.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 6);
  EXPECT_EQ(lines[0], QString::fromStdString(where));
  for (std::size_t i = 0; i < args.size(); ++i)
    EXPECT_EQ(lines[static_cast<int>(i) + 1], QString::fromStdString(args[i]));
  for (const char* trace : {"named-pwned", "dollar-pwned", "tick-pwned", "redirected"}) {
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(trace))) << trace;
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QString("work/") + trace))) << trace;
  }
}

TEST(QtDesktop, AProgramThatIsNotThereIsNotStartedAndNotFound) {
  EXPECT_EQ(desktop().startProcess("/nonexistent/tool", {}, ""), 0);
  EXPECT_EQ(desktop().findProgram({"sh -c id", "no-such-tool-anywhere"}), "");
  EXPECT_NE(desktop().findProgram({"no-such-tool-anywhere", "sh"}), "");
}

}  // namespace
