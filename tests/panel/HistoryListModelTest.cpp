// HistoryListModel: updates by rows, one count change per update, thumbnails.
#include "panel/FakeHistoryBackend.h"
#include "panel/HistoryListModel.h"
#include "panel/PanelImageProviders.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSet>
#include <QSignalSpy>

using namespace kelvo;
using namespace kelvo::test;

namespace {

QVector<HistoryRow> rowsOf(const QStringList &ids) {
    QVector<HistoryRow> out;
    for (const QString &id : ids) out.append(makeRow(id, "text"));
    return out;
}

QStringList idsOf(const HistoryListModel &model) {
    QStringList out;
    for (int i = 0; i < model.rowCount(); ++i)
        out << model.data(model.index(i), HistoryListModel::IdRole).toString();
    return out;
}

class HistoryListModelTest : public ::testing::Test {
protected:
    HistoryListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

// A view animates what it is told: a move is one move, a kept row is not
// rebuilt, the count is announced once and only when it changes.
TEST_F(HistoryListModelTest, UpdatesReachTheWantedOrderAsMovesAndChangedRows) {
    const QList<QStringList> steps{
        {"a", "b", "c"},           // fill
        {"n", "a", "b", "c"},      // new copy at the front
        {"b", "n", "a", "c"},      // moved to the front
        {"b", "a"},                // two removed
        {},                        // cleared
        {"x", "x", "y"},           // duplicate ids stay as given
        {"y", "x"},
        {"a", "b", "c"},
    };
    for (const QStringList &ids : steps) {
        model.setRows(rowsOf(ids));
        EXPECT_EQ(idsOf(model), ids);
    }

    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy count(&model, &HistoryListModel::countChanged);
    model.setRows(rowsOf({"c", "a", "b"}));
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(removed.count() + reset.count() + changed.count(), 0);

    auto rows = rowsOf({"c", "a", "b"});
    rows[1].isPinned = true;
    model.setRows(rows);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().at(0).value<QModelIndex>().row(), 1);
    EXPECT_TRUE(model.data(model.index(1), HistoryListModel::IsPinnedRole).toBool());

    model.setRows(rowsOf({"n", "c", "a"})); // insert + drop: same length
    EXPECT_EQ(count.count(), 0);
    model.setRows(rowsOf({"a"}));
    EXPECT_EQ(count.count(), 1);
    EXPECT_EQ(model.count(), 1);
}

TEST_F(HistoryListModelTest, KindIconsAndThumbnailSources) {
    for (const auto &[kind, icon] : {std::pair{"text", "doc.text"}, {"richText", "doc.richtext"}, {"image", "photo"},
                                     {"url", "link"}, {"raw", "tray.full"}})
        EXPECT_EQ(HistoryListModel::kindIcon(kind), icon);

    ThumbnailImageProvider provider;
    model.setThumbnailProvider(&provider);
    auto withThumb = makeRow("i", "image");
    withThumb.thumbnailPNG = solidPng(40, 20, Qt::red);
    auto broken = makeRow("j", "image");
    broken.thumbnailPNG = "garbage";
    model.setRows({withThumb, broken, makeRow("k", "image")});

    const auto request = [&](int row, QSize *size, QSize wanted) {
        const QString source = model.data(model.index(row), HistoryListModel::ThumbnailSourceRole).toString();
        return provider.requestImage(source.mid(QString("image://kelvothumb/").size()), size, wanted);
    };
    QSize size;
    request(0, &size, QSize(20, 20));
    EXPECT_EQ(size, QSize(20, 10)); // scaled down, aspect kept
    EXPECT_TRUE(request(1, &size, {}).isNull());
    EXPECT_FALSE(model.data(model.index(2), HistoryListModel::HasThumbnailRole).toBool());

    // The provider keeps no thumbnail of an entry no longer listed.
    const QString gone = model.data(model.index(0), HistoryListModel::ThumbnailSourceRole).toString();
    model.setRows({makeRow("k", "image")});
    EXPECT_TRUE(provider.requestImage(gone.mid(QString("image://kelvothumb/").size()), &size, {}).isNull());
}

TEST(IconImageProviderTest, RendersEveryShippedSymbolInTheAskedColourKeepingWhiteMarks) {
    const QSet<QString> marked{"xmark.circle.fill", "checkmark.shield.fill", "exclamationmark.triangle.fill",
                               "app.default"};
    for (const char *name : {"doc.text", "doc.richtext", "photo", "link", "tray.full", "star.fill", "pin.fill",
                             "trash", "gearshape", "magnifyingglass", "xmark.circle.fill", "square.stack.3d.up",
                             "list.bullet.clipboard", "power", "menubar.arrow.up.rectangle", "checkmark.shield.fill",
                             "exclamationmark.triangle.fill", "archivebox", "keyboard",
                             "rectangle.portrait.and.arrow.right", "eye.slash", "app.default"}) {
        const QImage icon = IconImageProvider::renderIcon(name, QColor(0, 128, 255), QSize(48, 48));
        ASSERT_FALSE(icon.isNull()) << name;
        int tinted = 0, white = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x) {
                const QColor c = icon.pixelColor(x, y);
                if (c.alpha() != 255) continue;
                // Every opaque pixel lies between the tint and white.
                EXPECT_EQ(c.blue(), 255) << name;
                EXPECT_NEAR(c.green(), 128 + 127 * c.red() / 255, 2) << name;
                tinted += c.rgb() == QColor(0, 128, 255).rgb();
                white += c.red() == 255;
            }
        EXPECT_GT(tinted, 40) << name;
        if (marked.contains(name)) {
            EXPECT_GT(white, 20) << name << ": its inner mark is gone";
        }
    }
    EXPECT_TRUE(IconImageProvider::renderIcon("no.such.symbol", Qt::black, QSize(24, 24)).isNull());
}

} // namespace
