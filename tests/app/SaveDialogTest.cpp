// The export dialog: a name typed with another suffix gets ".png" inside the
// dialog, so that replacing an existing file of the real name is confirmed.
#include "app/QtSaveDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

struct Case {
    const char *typed;
    bool exists;          // a file of the real name is there already
    bool replace;         // the answer to the replace question
    bool asked;
    const char *result;   // nullptr: nothing chosen
};

class SaveDialogTest : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "save_dialog_test";
        static char *argv[] = {name, nullptr};
        if (!QApplication::instance())
            static QApplication app(argc, argv);
    }
};

TEST_P(SaveDialogTest, TheReplaceQuestionCoversTheNameWritten)
{
    const Case c = GetParam();
    QTemporaryDir dir;
    if (c.exists) {
        QFile existing(dir.filePath(QStringLiteral("shot.jpg.png")));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    }
    bool typed = false, asked = false;
    QTimer driver; // plays the user: types the name, answers the question
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            asked = true;
            box->button(c.replace ? QMessageBox::Yes : QMessageBox::No)->click();
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (!typed) {
                typed = true;
                dialog->setDirectory(dir.path());
                auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                ASSERT_TRUE(field);
                field->setText(QString::fromLatin1(c.typed));
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            } else if (asked) {
                dialog->reject(); // declined: the user gives up
            }
        }
    });
    driver.start(20); // the poll interval for the dialogs the user would see
    QTimer::singleShot(20000, [] { // never hang: close whatever is open
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    const std::optional<QString> chosen = QtSaveDialog().choosePNGLocation(QStringLiteral("kelvo-1.png"));
    EXPECT_EQ(asked, c.asked);
    const auto name = [](const std::optional<QString> &path) { return path ? path->toStdString() : "(none)"; };
    EXPECT_EQ(name(chosen), c.result ? dir.filePath(QString::fromLatin1(c.result)).toStdString() : "(none)");
}

INSTANTIATE_TEST_SUITE_P(Cases, SaveDialogTest,
                         ::testing::Values(Case{"shot.jpg", true, false, true, nullptr},
                                           Case{"shot.jpg", true, true, true, "shot.jpg.png"},
                                           Case{"shot.jpg", false, false, false, "shot.jpg.png"},
                                           Case{"shot", false, false, false, "shot.png"},
                                           Case{"shot.PNG", false, false, false, "shot.PNG"}));

} // namespace
