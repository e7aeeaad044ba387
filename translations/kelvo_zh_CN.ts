<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="zh_CN">
<context>
    <name>ClipboardCard</name>
    <message>
        <source>未知来源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图片内容</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>应用专用内容</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保留原始剪贴板格式，可回贴到来源应用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>富文本</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图片</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>链接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文本</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1，%2，%3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>来自 %1，已固定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>来自 %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ClipboardItem</name>
    <message>
        <source>刚刚</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n 分钟前</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 小时前</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 天前</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>图片</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>应用专用剪贴板内容</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n 个字符</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 种数据格式</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Kelvo 未在运行</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>kelvo: %1 失败：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kelvo %1 正在运行（进程 %2）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>记录：已暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>记录：进行中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>固定：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>历史文件：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>平台：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>kelvo: Kelvo 未在 10 秒内退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; 不接受参数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知的选项 &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知的命令 &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; 没有选项 &apos;%2&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; 需要一个条目：&apos;kelvo list&apos; 给出的序号或 id</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; 不接受 &apos;%2&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;--rtf&apos; 与 &apos;--html&apos; 不能同时使用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用法：kelvo [命令 [选项]]

不带命令时启动 Kelvo（托盘中的剪贴板历史）。
以下命令与正在运行的 Kelvo 通信：

  toggle                     显示历史面板；面板已显示时将其隐藏
  show                       显示历史面板
  settings                   打开设置窗口
  quit                       退出 Kelvo
  list [--pinned] [--json]   列出历史（或固定条目），最新的在前：
                             序号&lt;TAB&gt;类型&lt;TAB&gt;预览，或一个 JSON 数组
  get ENTRY [--rtf|--html]   将条目的内容写到标准输出
                             （文本为 UTF-8，图片为 PNG）
  copy ENTRY [--plain]       将条目放到剪贴板（加 --plain 时富文本只作为纯文本）
                             并移到最前
  paste ENTRY [--plain]      同上，然后粘贴到前台窗口
  pin ENTRY                  固定条目
  unpin ENTRY                取消固定条目（序号按固定列表计）
  delete ENTRY               删除条目
  clear [--pinned]           删除所有未固定（或所有固定）的条目
  pause                      暂停记录复制的内容
  resume                     恢复记录
  ignore list                列出从不读取其复制内容的应用
  ignore add|remove APP      添加或移除一个应用：桌面条目 id
                             （org.keepassxc.KeePassXC）、窗口类名或
                             程序名；Kelvo 未运行时也可用
  status                     Kelvo 是否在运行、是否在记录、条目数、
                             历史文件和平台

ENTRY 是 &apos;kelvo list&apos; 给出的序号（1 为最新；加 --pinned 时为
&apos;kelvo list --pinned&apos; 给出的序号）或条目的 id。

  -h, --help                 显示此帮助
  --version                  显示版本

退出状态：0 完成，1 Kelvo 未在运行、没有该条目或无法读出其内容
（剪贴板保持不变），2 用法错误。
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;ignore&apos; 需要 list、add 或 remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;ignore&apos; 没有操作 &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;ignore list&apos; 不接受应用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;ignore %1&apos; 需要一个应用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>kelvo: 需要应用的名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>kelvo: %1 不在排除列表中</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DesktopPlatform</name>
    <message>
        <source>卡片不显示 Wayland 程序的来源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>粘贴只能送达 X11 程序</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KWin 未授予 Kelvo 所需的接口（请从软件包安装 Kelvo，或用 tools/run.sh 启动）：%1。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>；</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kelvo 的 GNOME Shell 扩展已安装，但没有启用。启用后，Kelvo 能记录每一次复制和它的来源，用快捷键打开面板并粘贴。现在启用吗？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kelvo 的 GNOME Shell 扩展已安装，但 GNOME 要在重新登录后才会加载它。在此之前，Kelvo 仍会记录复制，但快捷键打开面板和粘贴都不可用。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FakeInputKeyboard</name>
    <message>
        <source>粘贴所选的剪贴板记录</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FaultNotices</name>
    <message>
        <source>无法使用这条记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入剪贴板</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>与剪贴板的连接已断开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法保存剪贴板历史</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取剪贴板历史</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法导出图片</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法注册快捷键</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>有一次复制没有被记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>它的内容已无法从历史文件中读出（文件可能被其他程序改动过）。剪贴板保持不变。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>剪贴板拒绝了写入，内容保持不变。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>在连接恢复之前，复制的内容不会被记录。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1。新的记录暂时只在内存中，下次改动时会再试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>历史文件已损坏，已另存为 %1。从空白历史开始。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图片内容已无法从历史文件中读出。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入 %1。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 可能已被其他程序占用，请在设置中换一个快捷键。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制它的程序没有及时交出内容。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>无匹配结果</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂无剪贴板记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂无固定条目</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制内容后将自动记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>在历史中右键条目后可固定到这里</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消固定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>固定</source>
        <comment>pin an entry</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>粘贴</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>粘贴为纯文本</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图片另存为 PNG...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>历史</source>
        <comment>tab</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>固定</source>
        <comment>tab of pinned entries</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tab 切换分类 · ←/→ 选择 · Enter 粘贴 · Esc 关闭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>清空历史记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>清空固定条目</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 搜索</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>剪贴板历史</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>分类</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>搜索</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>清除搜索</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>IgnoredApplicationsSection</name>
    <message>
        <source>隐私</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不记录这些应用的复制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这些应用复制的内容不会被读取，也不会进入历史。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未排除任何应用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>移除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择不记录的应用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>前台应用：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已排除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>排除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>搜索已安装的应用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>KGlobalAccelHotKeyService</name>
    <message>
        <source>显示剪贴板历史</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PanelViewBackend</name>
    <message>
        <source>未知来源</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QtSaveDialog</name>
    <message>
        <source>图片另存为 PNG</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>常规</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开机自启动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示菜单栏图标</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>语言</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>权限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>辅助功能权限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已开启，选择条目后可自动回到原应用并执行粘贴</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未开启时仍会写回剪贴板并切回原应用；如需自动粘贴，请开启此权限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重新检测</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开启权限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>存储</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>历史记录上限</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n 条</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示/隐藏面板</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>菜单栏图标已隐藏。您可以通过快捷键唤出剪贴板面板，点击齿轮按钮再次打开此设置窗口。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出 Kelvo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>点击按钮后按下您想设置的按键组合。必须包含至少一个修饰键（%1）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>面板内支持 %1 直接粘贴对应序号条目。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>此桌面不允许程序自行注册全局快捷键。请将下面这一行加入桌面（合成器）的配置，以 %1 显示或隐藏面板：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示/隐藏面板的快捷键</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Kelvo 设置</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kelvo::DBusService</name>
    <message>
        <source>没有条目 %1：固定列表是空的</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有条目 %1：历史是空的</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有条目 %1：固定列表只有第 1 到 %2 条</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有条目 %1：历史只有第 1 到 %2 条</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有 id 为 %1 的条目</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目 %1 不是富文本</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目 %1 没有 HTML</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知的格式 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目 %1 是不含文本的应用数据</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kelvo::ShortcutRecorder</name>
    <message>
        <source>请按键...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kelvo::TrayMenu</name>
    <message>
        <source>清空历史记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂停记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出 Kelvo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kelvo (暂停记录)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示剪贴板历史  %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Kelvo 已在运行（进程 %1）。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
