#include "platform/Desktop.h"

namespace kelvo {

int chooseMainScreen(const QList<QRect> &screens, int primary, const std::optional<QRect> &activeWindow)
{
    if (screens.isEmpty())
        return -1;
    int best = -1;
    qint64 bestArea = 0;
    if (activeWindow && activeWindow->isValid()) {
        for (int i = 0; i < screens.size(); ++i) {
            const QRect common = screens[i].intersected(*activeWindow);
            const qint64 area = qint64(common.width()) * common.height();
            if (area > bestArea) {
                best = i;
                bestArea = area;
            }
        }
    }
    if (best >= 0)
        return best;
    return primary >= 0 && primary < screens.size() ? primary : 0;
}

} // namespace kelvo
