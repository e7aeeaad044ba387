#include "history/FaultNotices.h"

#include <QCoreApplication>

namespace kelvo {

void FaultNotices::report(Fault fault, const QString &detail)
{
    if (!outstanding_.insert(fault).second)
        return;
    if (notifications_)
        notifications_->notify(summary(fault), body(fault, detail));
}

void FaultNotices::recovered(Fault fault)
{
    outstanding_.erase(fault);
}

QString FaultNotices::summary(Fault fault)
{
    switch (fault) {
    case Fault::EntryUnreadable: return QCoreApplication::translate("FaultNotices", "无法使用这条记录");
    case Fault::ClipboardRefused: return QCoreApplication::translate("FaultNotices", "无法写入剪贴板");
    case Fault::ClipboardLost: return QCoreApplication::translate("FaultNotices", "与剪贴板的连接已断开");
    case Fault::SaveFailed: return QCoreApplication::translate("FaultNotices", "无法保存剪贴板历史");
    case Fault::LoadFailed: return QCoreApplication::translate("FaultNotices", "无法读取剪贴板历史");
    case Fault::ExportFailed: return QCoreApplication::translate("FaultNotices", "无法导出图片");
    case Fault::ShortcutRefused: return QCoreApplication::translate("FaultNotices", "无法注册快捷键");
    case Fault::CopyNotRead: return QCoreApplication::translate("FaultNotices", "有一次复制没有被记录");
    }
    return {};
}

QString FaultNotices::body(Fault fault, const QString &detail)
{
    switch (fault) {
    case Fault::EntryUnreadable:
        return QCoreApplication::translate(
            "FaultNotices", "它的内容已无法从历史文件中读出（文件可能被其他程序改动过）。剪贴板保持不变。");
    case Fault::ClipboardRefused:
        return QCoreApplication::translate("FaultNotices", "剪贴板拒绝了写入，内容保持不变。");
    case Fault::ClipboardLost:
        return QCoreApplication::translate("FaultNotices", "在连接恢复之前，复制的内容不会被记录。");
    case Fault::SaveFailed:
        return QCoreApplication::translate("FaultNotices", "%1。新的记录暂时只在内存中，下次改动时会再试。")
            .arg(detail);
    case Fault::LoadFailed:
        return QCoreApplication::translate("FaultNotices", "历史文件已损坏，已另存为 %1。从空白历史开始。")
            .arg(detail);
    case Fault::ExportFailed:
        return detail.isEmpty() ? QCoreApplication::translate("FaultNotices", "图片内容已无法从历史文件中读出。")
                                : QCoreApplication::translate("FaultNotices", "无法写入 %1。").arg(detail);
    case Fault::ShortcutRefused:
        return QCoreApplication::translate("FaultNotices", "%1 可能已被其他程序占用，请在设置中换一个快捷键。")
            .arg(detail);
    case Fault::CopyNotRead:
        return QCoreApplication::translate("FaultNotices", "复制它的程序没有及时交出内容。");
    }
    return {};
}

} // namespace kelvo
