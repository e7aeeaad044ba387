import QtQuick

// A rounded rectangle filled and outlined with linear gradients that may run
// in any direction (the plain Rectangle knows only vertical and horizontal
// ones). Points are fractions of the shape's size: (0, 0) top-leading,
// (1, 1) bottom-trailing. A layer is a list of
// { from: Qt.point, to: Qt.point, stops: [[position, color], ...] }.
Canvas {
    id: shape
    property real radius: 0
    property var fills: []
    property var strokeStops: []
    property point strokeFrom: Qt.point(0, 0)
    property point strokeTo: Qt.point(0, 1)
    property real strokeWidth: 0

    onFillsChanged: requestPaint()
    onStrokeStopsChanged: requestPaint()
    onStrokeWidthChanged: requestPaint()
    onRadiusChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    function roundedPath(ctx, inset) {
        const r = Math.max(0, Math.min(radius - inset, width / 2 - inset, height / 2 - inset))
        const x0 = inset, y0 = inset, x1 = width - inset, y1 = height - inset
        ctx.beginPath()
        ctx.moveTo(x0 + r, y0)
        ctx.lineTo(x1 - r, y0)
        ctx.arcTo(x1, y0, x1, y0 + r, r)
        ctx.lineTo(x1, y1 - r)
        ctx.arcTo(x1, y1, x1 - r, y1, r)
        ctx.lineTo(x0 + r, y1)
        ctx.arcTo(x0, y1, x0, y1 - r, r)
        ctx.lineTo(x0, y0 + r)
        ctx.arcTo(x0, y0, x0 + r, y0, r)
        ctx.closePath()
    }

    function gradient(ctx, from, to, stops) {
        const g = ctx.createLinearGradient(from.x * width, from.y * height, to.x * width, to.y * height)
        for (let i = 0; i < stops.length; ++i)
            g.addColorStop(stops[i][0], stops[i][1])
        return g
    }

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        if (width <= 0 || height <= 0)
            return
        for (let i = 0; i < fills.length; ++i) {
            roundedPath(ctx, 0)
            ctx.fillStyle = gradient(ctx, fills[i].from, fills[i].to, fills[i].stops)
            ctx.fill()
        }
        if (strokeWidth > 0 && strokeStops.length > 0) {
            roundedPath(ctx, strokeWidth / 2)
            ctx.lineWidth = strokeWidth
            ctx.strokeStyle = gradient(ctx, strokeFrom, strokeTo, strokeStops)
            ctx.stroke()
        }
    }
}
