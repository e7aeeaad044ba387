// Renders the history view with sample rows into a PNG (development aid):
//   kelvo_view_preview out.png [width] [pinned]
#include "panel/FakeHistoryBackend.h"
#include "panel/QmlViews.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTimer>

using namespace kelvo;

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    prepareQuickControlsStyle();
    test::FakeHistoryBackend backend;
    QImage img(320, 200, QImage::Format_ARGB32);
    img.fill(QColor(90, 150, 220));
    QPainter p(&img);
    p.fillRect(40, 40, 120, 80, QColor(240, 180, 60));
    p.end();
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    auto text = test::makeRow("a", "text");
    text.previewText = "Kelvo 会记住你复制过的每一段文字，按 ⇧⌘V 随时唤出。";
    auto rich = test::makeRow("b", "richText");
    rich.previewText = "富文本内容：标题与正文\nSecond line of formatted text";
    auto image = test::makeRow("c", "image");
    image.thumbnailPNG = png;
    image.infoLabel = "320 × 200";
    auto url = test::makeRow("d", "url");
    url.previewText = "example.com";
    auto raw = test::makeRow("e", "raw");
    raw.sourceAppName = "";
    auto broken = test::makeRow("f", "image");
    broken.thumbnailPNG = "not a png";
    backend.all = {text, rich, image, url, raw, broken};
    for (auto &r : backend.all) r.id += "-id";
    QQuickView view;
    backend.model()->setThumbnailProvider(installViewProviders(*view.engine()));
    if (argc > 3) backend.setActiveTab("pinned");
    backend.publish();
    backend.setSelectedIndex(1);
    view.setInitialProperties({{"backend", QVariant::fromValue<QObject *>(&backend)}});
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.setColor(QColor(40, 44, 52));
    view.resize(argc > 2 ? QString(argv[2]).toInt() : 1280, 324);
    view.setSource(historyViewUrl());
    view.show();
    QTimer::singleShot(800, [&] {
        view.grabWindow().save(argc > 1 ? argv[1] : "/tmp/preview.png");
        app.quit();
    });
    return app.exec();
}
