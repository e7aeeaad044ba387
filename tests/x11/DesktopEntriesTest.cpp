#include "platform/x11/DesktopEntries.h"
#include "platform/x11/X11Applications.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

using namespace kelvo::x11;

namespace {

QByteArray entry(const QByteArray &lines) { return "[Desktop Entry]\nType=Application\n" + lines; }

TEST(DesktopEntryParsing, ReadsOnlyTheMainGroupOfApplicationsInTheLocale)
{
    const QByteArray text = "# comment\n" + entry("Name=Editor\nName[de]=Bearbeiter\nName[pt_BR]=Editor de texto\n"
                                                  "Icon=org.example.editor\n\n[Desktop Action new]\n"
                                                  "Name=New Window\nStartupWMClass=Wrong\n");
    const auto plain = parseDesktopEntry(text, "org.example.Editor", "C");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->icon, "org.example.editor");
    EXPECT_TRUE(plain->startupWMClass.isEmpty());
    const std::pair<QByteArray, QString> locales[] = {
        {"C", "Editor"}, {"de_DE.UTF-8", "Bearbeiter"}, {"pt_BR", "Editor de texto"}, {"pt_PT", "Editor"}};
    for (const auto &[locale, name] : locales)
        EXPECT_EQ(parseDesktopEntry(text, {}, QString::fromLatin1(locale))->name, name) << locale.constData();
    EXPECT_EQ(parseDesktopEntry(entry("Name=Big\\sEditor\\\\2\n"), {}, {})->name, "Big Editor\\2"); // escapes

    // What is no application.
    for (const QByteArray &bad : {QByteArray("[Desktop Entry]\nType=Link\nName=Site\n"), entry("Name=Gone\nHidden=true\n"),
                                  entry(""), QByteArray("[Other]\nType=Application\nName=X\n"),
                                  QByteArray("\0\xff\xfe garbage", 12)})
        EXPECT_FALSE(parseDesktopEntry(bad, {}, {})) << bad.constData();
}

// The program an entry runs names the application where its windows do not.
TEST(DesktopEntryParsing, TheProgramIsTheFileNameOfWhatExecOrTryExecRuns)
{
    const struct {
        const char *keys;
        const char *program;
    } cases[] = {
        {"Exec=/usr/bin/keepassxc %f\n", "keepassxc"},
        {"Exec=env GDK_BACKEND=x11 \"/opt/My App/bin/my-app\" --new\n", "my-app"},
        {"TryExec=secret-keeper\nExec=sh -c secret-keeper\n", "secret-keeper"},
        {"Exec=\n", ""},
    };
    for (const auto &c : cases) {
        const QByteArray text = QByteArray("[Desktop Entry]\nType=Application\nName=A\n") + c.keys;
        EXPECT_EQ(parseDesktopEntry(text, "a", "C")->executable, c.program) << c.keys;
    }
}

TEST(DesktopEntryIndex, FindsByClassThenFileIdWithEarlierDirectoriesFirst)
{
    QTemporaryDir home, system;
    const auto write = [](const QTemporaryDir &dir, const QString &name, const QByteArray &lines) {
        const QString path = dir.filePath("applications/" + name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(entry(lines));
    };
    write(system, "viewer.desktop", "Name=Plain Viewer\n");
    write(system, "photos.desktop", "Name=Photo Viewer\nStartupWMClass=Viewer\n");
    write(system, "org.example.Mousetrap.desktop", "Name=Mouse Trap\n");
    write(system, "org.example.mousetrap-settings.desktop", "Name=Mouse Trap Settings\n");
    write(home, "tool.desktop", "Name=My Tool\n");
    write(system, "tool.desktop", "Name=Tool\n");
    write(system, "kde/calc.desktop", "Name=Calc\n");
    // A user entry that hides a system one hides it even when it is hidden.
    write(home, "old.desktop", "Name=Old\nHidden=true\n");
    write(system, "old.desktop", "Name=Old App\n");
    DesktopEntryIndex index({home.path(), system.path()}, "C");
    const struct {
        const char *instance, *wmClass, *name;
    } cases[] = {
        {"viewer", "Viewer", "Photo Viewer"},    // StartupWMClass before the file name
        {"mousetrap", "Mousetrap", "Mouse Trap"}, // the last part of a reverse-domain id, any case
        {"tool", "Tool", "My Tool"},
        {"kde-calc", "", "Calc"},                 // subdirectories join the id
        {"old", "Old", nullptr},
        {"xterm", "XTerm", nullptr},
    };
    for (const auto &c : cases) {
        const auto found = index.find(c.instance, c.wmClass);
        EXPECT_EQ(found ? found->name : QString("(none)"), c.name ? c.name : "(none)") << c.instance;
    }
    EXPECT_EQ(index.find("mousetrap", "Mousetrap")->fileId, "org.example.Mousetrap");
}

TEST(NetWmIcon, PicksTheSmallestWholeImageOfAtLeast64Pixels)
{
    std::vector<quint32> value;
    for (const auto &[size, pixel] : {std::pair{16u, 0xff0000ffu}, {128u, 0xff00ff00u}, {64u, 0x80ff0000u},
                                      {256u, 0xffffffffu}}) {
        value.insert(value.end(), {size, size});
        value.insert(value.end(), size_t(size) * size, pixel);
    }
    const QImage image = imageFromNetWmIcon(value);
    ASSERT_EQ(image.width(), 64);
    EXPECT_EQ(image.pixel(10, 10), 0x80ff0000u);

    // A whole 1x1 image followed by a cut one.
    const QImage first = imageFromNetWmIcon({1, 1, 0xffabcdef, 48, 48, 7});
    ASSERT_EQ(first.size(), QSize(1, 1));
    EXPECT_EQ(first.pixel(0, 0), 0xffabcdefu);
    // Malformed: nothing, or more pixels claimed than there are.
    for (const std::vector<quint32> &bad : std::vector<std::vector<quint32>>{
             {}, {5}, {0, 0}, {100, 100, 1, 2, 3}, {0xffffffff, 0xffffffff, 1}})
        EXPECT_TRUE(imageFromNetWmIcon(bad).isNull()) << bad.size();
}

// The entry installed for the program itself is one that desktops accept,
// and it names an icon that is installed beside it; both are named by the
// application id. It names the executable by its absolute path (filled in
// when installing) and lists KWin's interfaces, separated by commas as KDE
// reads the key, for KWin to grant them to that executable.
TEST(ProgramDesktopEntry, IsAnApplicationNamedKelvoWithALoadableIcon)
{
    QFile file(QStringLiteral(KELVO_DATA_DIR "/io.github.kelvo.Kelvo.desktop.in"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const auto parsed = parseDesktopEntry(text, "kelvo", "C");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, "Kelvo");
    EXPECT_EQ(parsed->icon, "io.github.kelvo.Kelvo");
    EXPECT_TRUE(text.contains("\nExec=@KELVO_EXECUTABLE@\n"));
    EXPECT_TRUE(text.contains("\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management\n"));
    QImageReader icon(QStringLiteral(KELVO_DATA_DIR "/") + parsed->icon + ".svg");
    const QImage image = icon.read();
    ASSERT_FALSE(image.isNull()) << icon.errorString().toStdString();
    EXPECT_EQ(image.width(), image.height());
}

} // namespace
