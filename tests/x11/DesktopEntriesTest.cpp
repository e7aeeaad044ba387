#include "platform/x11/DesktopEntries.h"
#include "platform/x11/X11Applications.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

using namespace kelvo::x11;

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contents);
}

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid() && system.isValid()); }
    QString app(const QTemporaryDir &d, const QString &rel) const { return d.filePath(QStringLiteral("applications/") + rel); }
    QTemporaryDir home, system;
};

} // namespace

TEST(DesktopEntryParsing, ReadsOnlyTheMainGroupInTheLocale)
{
    const QByteArray text = "# comment\n"
                            "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Editor\n"
                            "Name[de]=Bearbeiter\n"
                            "Name[pt_BR]=Editor de texto\n"
                            "Icon=org.example.editor\n"
                            "\n"
                            "[Desktop Action new]\n"
                            "Name=New Window\n"
                            "StartupWMClass=Wrong\n";
    auto plain = parseDesktopEntry(text, QStringLiteral("org.example.Editor"), QStringLiteral("C"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->name, QStringLiteral("Editor"));
    EXPECT_EQ(plain->icon, QStringLiteral("org.example.editor"));
    EXPECT_TRUE(plain->startupWMClass.isEmpty());

    EXPECT_EQ(parseDesktopEntry(text, {}, QStringLiteral("de_DE.UTF-8"))->name, QStringLiteral("Bearbeiter"));
    EXPECT_EQ(parseDesktopEntry(text, {}, QStringLiteral("pt_BR"))->name, QStringLiteral("Editor de texto"));
    EXPECT_EQ(parseDesktopEntry(text, {}, QStringLiteral("pt_PT"))->name, QStringLiteral("Editor"));
}

TEST(DesktopEntryParsing, RejectsWhatIsNoApplication)
{
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nType=Link\nName=Site\n", {}, {}));
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n", {}, {}));
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nType=Application\n", {}, {}));
    EXPECT_FALSE(parseDesktopEntry("[Other]\nType=Application\nName=X\n", {}, {}));
    EXPECT_FALSE(parseDesktopEntry(QByteArray("\0\xff\xfe garbage", 12), {}, {}));
}

TEST(DesktopEntryParsing, UndoesStringEscapes)
{
    auto e = parseDesktopEntry("[Desktop Entry]\nType=Application\nName=Big\\sEditor\\\\2\n", {}, {});
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, QStringLiteral("Big Editor\\2"));
}

TEST_F(DesktopEntryIndexTest, FindsByStartupWMClassBeforeFileName)
{
    writeFile(app(system, QStringLiteral("viewer.desktop")),
              "[Desktop Entry]\nType=Application\nName=Plain Viewer\n");
    writeFile(app(system, QStringLiteral("photos.desktop")),
              "[Desktop Entry]\nType=Application\nName=Photo Viewer\nStartupWMClass=Viewer\n");
    DesktopEntryIndex index({home.path(), system.path()}, QStringLiteral("C"));
    auto e = index.find(QStringLiteral("viewer"), QStringLiteral("Viewer"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, QStringLiteral("Photo Viewer"));
}

TEST_F(DesktopEntryIndexTest, FindsReverseDomainFileIdsByTheirLastPartIgnoringCase)
{
    writeFile(app(system, QStringLiteral("org.example.Mousetrap.desktop")),
              "[Desktop Entry]\nType=Application\nName=Mouse Trap\n");
    writeFile(app(system, QStringLiteral("org.example.mousetrap-settings.desktop")),
              "[Desktop Entry]\nType=Application\nName=Mouse Trap Settings\n");
    DesktopEntryIndex index({system.path()}, QStringLiteral("C"));
    auto e = index.find(QStringLiteral("mousetrap"), QStringLiteral("Mousetrap"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, QStringLiteral("Mouse Trap"));
    EXPECT_EQ(e->fileId, QStringLiteral("org.example.Mousetrap"));
    EXPECT_FALSE(index.find(QStringLiteral("xterm"), QStringLiteral("XTerm")));
}

TEST_F(DesktopEntryIndexTest, EarlierDirectoriesHideLaterOnesAndSubdirectoriesJoinTheId)
{
    writeFile(app(home, QStringLiteral("tool.desktop")), "[Desktop Entry]\nType=Application\nName=My Tool\n");
    writeFile(app(system, QStringLiteral("tool.desktop")), "[Desktop Entry]\nType=Application\nName=Tool\n");
    writeFile(app(system, QStringLiteral("kde/calc.desktop")), "[Desktop Entry]\nType=Application\nName=Calc\n");
    // A user entry that hides a system one hides it even when it is hidden.
    writeFile(app(home, QStringLiteral("old.desktop")), "[Desktop Entry]\nType=Application\nName=Old\nHidden=true\n");
    writeFile(app(system, QStringLiteral("old.desktop")), "[Desktop Entry]\nType=Application\nName=Old App\n");
    DesktopEntryIndex index({home.path(), system.path()}, QStringLiteral("C"));
    EXPECT_EQ(index.find(QStringLiteral("tool"), QStringLiteral("Tool"))->name, QStringLiteral("My Tool"));
    EXPECT_EQ(index.find(QStringLiteral("kde-calc"), QString())->name, QStringLiteral("Calc"));
    EXPECT_FALSE(index.find(QStringLiteral("old"), QStringLiteral("Old")));
}

TEST(NetWmIcon, PicksTheSmallestImageOfAtLeast64Pixels)
{
    std::vector<quint32> value;
    auto add = [&](quint32 size, quint32 pixel) {
        value.push_back(size);
        value.push_back(size);
        value.insert(value.end(), size_t(size) * size, pixel);
    };
    add(16, 0xff0000ff);
    add(128, 0xff00ff00);
    add(64, 0x80ff0000);
    add(256, 0xffffffff);
    const QImage image = imageFromNetWmIcon(value);
    ASSERT_EQ(image.width(), 64);
    EXPECT_EQ(image.pixel(10, 10), 0x80ff0000u);

    std::vector<quint32> small;
    small.push_back(2);
    small.push_back(1);
    small.push_back(0xff112233);
    small.push_back(0xff445566);
    const QImage two = imageFromNetWmIcon(small);
    ASSERT_EQ(two.size(), QSize(2, 1));
    EXPECT_EQ(two.pixel(1, 0), 0xff445566u);
}

TEST(NetWmIcon, MalformedValuesGiveWhatIsWhole)
{
    EXPECT_TRUE(imageFromNetWmIcon({}).isNull());
    EXPECT_TRUE(imageFromNetWmIcon({5}).isNull());
    EXPECT_TRUE(imageFromNetWmIcon({0, 0}).isNull());
    // Claims more pixels than there are.
    EXPECT_TRUE(imageFromNetWmIcon({100, 100, 1, 2, 3}).isNull());
    EXPECT_TRUE(imageFromNetWmIcon({0xffffffff, 0xffffffff, 1}).isNull());
    // A whole 1x1 image followed by a cut one.
    const QImage first = imageFromNetWmIcon({1, 1, 0xffabcdef, 48, 48, 7});
    ASSERT_EQ(first.size(), QSize(1, 1));
    EXPECT_EQ(first.pixel(0, 0), 0xffabcdefu);
}

// The entry installed for the program itself is one that desktops accept,
// and it names an icon that is installed beside it; both are named by the
// application id.
TEST(ProgramDesktopEntry, IsAnApplicationNamedKelvoWithALoadableIcon)
{
    QFile file(QStringLiteral(KELVO_DATA_DIR "/io.github.kelvo.Kelvo.desktop"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const auto entry = parseDesktopEntry(text, QStringLiteral("kelvo"), QStringLiteral("C"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, QStringLiteral("Kelvo"));
    EXPECT_EQ(entry->icon, QStringLiteral("io.github.kelvo.Kelvo"));
    EXPECT_TRUE(text.contains("\nExec=kelvo\n"));

    QImageReader icon(QStringLiteral(KELVO_DATA_DIR "/") + entry->icon + QStringLiteral(".svg"));
    const QImage image = icon.read();
    ASSERT_FALSE(image.isNull()) << icon.errorString().toStdString();
    EXPECT_EQ(image.width(), image.height());
}
