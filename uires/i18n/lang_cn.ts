<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>XML_MAINWND</name>
    <message>
        <source>Keyboard configuration</source>
        <translation>键盘配置</translation>
    </message>
    <message>
        <source>More</source>
        <translation>更多</translation>
    </message>
    <message>
        <source>Key assignment</source>
        <translation>按键分配</translation>
    </message>
    <message>
        <source>Click a key to give it a macro, another key, a media key or a shortcut.</source>
        <translation>点击按键，即可为其分配宏、其他按键、多媒体键或快捷键。</translation>
    </message>
    <message>
        <source>Lighting effect</source>
        <translation>灯光效果</translation>
    </message>
    <message>
        <source>Effect</source>
        <translation>效果</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>常亮</translation>
    </message>
    <message>
        <source>Sweep</source>
        <translation>流光扫动</translation>
    </message>
    <message>
        <source>Breathing</source>
        <translation>呼吸</translation>
    </message>
    <message>
        <source>Spectrum cycle</source>
        <translation>光谱循环</translation>
    </message>
    <message>
        <source>Rainbow wave</source>
        <translation>彩虹波浪</translation>
    </message>
    <message>
        <source>Ripple</source>
        <translation>涟漪</translation>
    </message>
    <message>
        <source>Reactive</source>
        <translation>触发点亮</translation>
    </message>
    <message>
        <source>Reactive fade</source>
        <translation>触发渐隐</translation>
    </message>
    <message>
        <source>Starlight</source>
        <translation>星光</translation>
    </message>
    <message>
        <source>Raindrops</source>
        <translation>雨滴</translation>
    </message>
    <message>
        <source>Aurora</source>
        <translation>极光</translation>
    </message>
    <message>
        <source>Neon stream</source>
        <translation>霓虹流动</translation>
    </message>
    <message>
        <source>Color pulse</source>
        <translation>色彩脉冲</translation>
    </message>
    <message>
        <source>Spiral</source>
        <translation>螺旋</translation>
    </message>
    <message>
        <source>Scanner</source>
        <translation>雷达扫描</translation>
    </message>
    <message>
        <source>Fireworks</source>
        <translation>烟花</translation>
    </message>
    <message>
        <source>Snake</source>
        <translation>贪吃蛇</translation>
    </message>
    <message>
        <source>Heartbeat</source>
        <translation>心跳</translation>
    </message>
    <message>
        <source>Twinkle</source>
        <translation>闪烁</translation>
    </message>
    <message>
        <source>Lightning</source>
        <translation>闪电</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>速度</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>亮度</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>方向</translation>
    </message>
    <message>
        <source>To the left</source>
        <translation>向左</translation>
    </message>
    <message>
        <source>To the right</source>
        <translation>向右</translation>
    </message>
    <message>
        <source>Start from</source>
        <translation>起始位置</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>左侧</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>中间</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>右侧</translation>
    </message>
    <message>
        <source>Every change is saved and sent to the keyboard at once.</source>
        <translation>所有更改都会立即保存并发送到键盘。</translation>
    </message>
    <message>
        <source>Side light</source>
        <translation>侧边灯</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>模式</translation>
    </message>
    <message>
        <source>Spectrum flow</source>
        <translation>光谱流动</translation>
    </message>
    <message>
        <source>Color wave</source>
        <translation>色彩波浪</translation>
    </message>
    <message>
        <source>Solid red</source>
        <translation>红色常亮</translation>
    </message>
    <message>
        <source>Solid orange</source>
        <translation>橙色常亮</translation>
    </message>
    <message>
        <source>Solid yellow</source>
        <translation>黄色常亮</translation>
    </message>
    <message>
        <source>Solid green</source>
        <translation>绿色常亮</translation>
    </message>
    <message>
        <source>Solid cyan</source>
        <translation>青色常亮</translation>
    </message>
    <message>
        <source>Solid blue</source>
        <translation>蓝色常亮</translation>
    </message>
    <message>
        <source>Solid purple</source>
        <translation>紫色常亮</translation>
    </message>
    <message>
        <source>Solid pink</source>
        <translation>粉色常亮</translation>
    </message>
    <message>
        <source>Solid white</source>
        <translation>白色常亮</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>默认</translation>
    </message>
    <message>
        <source>Firmware: —</source>
        <translation>固件：—</translation>
    </message>
    <message>
        <source>Restore factory settings</source>
        <translation>恢复出厂设置</translation>
    </message>
    <message>
        <source>KBStudio keyboard settings</source>
        <translation>KBStudio 键盘设置</translation>
    </message>
    <message>
        <source>Hide to tray</source>
        <translation>隐藏到托盘</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Keyboard</source>
        <translation>键盘</translation>
    </message>
    <message>
        <source>Effect settings</source>
        <translation>效果设置</translation>
    </message>
    <message>
        <source>Side light mode</source>
        <translation>侧灯模式</translation>
    </message>
    <message>
        <source>Side light level</source>
        <translation>侧灯等级</translation>
    </message>
    <message>
        <source>The keyboard keeps one profile.</source>
        <translation>键盘只保存一个配置。</translation>
    </message>
    <message>
        <source>The active profile: its assignments and lighting</source>
        <translation>当前配置：其按键分配与灯光</translation>
    </message>
    <message>
        <source>A new profile: a copy of the active one</source>
        <translation>新建配置：复制当前配置</translation>
    </message>
    <message>
        <source>Rename the active profile</source>
        <translation>重命名当前配置</translation>
    </message>
    <message>
        <source>Delete a profile that is not active</source>
        <translation>删除一个非当前的配置</translation>
    </message>
    <message>
        <source>Import a profile from a file</source>
        <translation>从文件导入配置</translation>
    </message>
    <message>
        <source>Export the active profile to a file</source>
        <translation>将当前配置导出到文件</translation>
    </message>
</context>
<context>
    <name>macro</name>
    <message>
        <source>Assign key</source>
        <translation>分配按键</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>还原</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Macro</source>
        <translation>宏</translation>
    </message>
    <message>
        <source>Macros</source>
        <translation>宏列表</translation>
    </message>
    <message>
        <source>New macro</source>
        <translation>新建宏</translation>
    </message>
    <message>
        <source>Delete macro</source>
        <translation>删除宏</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>键码</translation>
    </message>
    <message>
        <source>Key</source>
        <translation>按键</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>动作</translation>
    </message>
    <message>
        <source>Delay (ms)</source>
        <translation>延时（毫秒）</translation>
    </message>
    <message>
        <source>Start record</source>
        <translation>开始录制</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>上移</translation>
    </message>
    <message>
        <source>Move the step up</source>
        <translation>将此步骤上移</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>下移</translation>
    </message>
    <message>
        <source>Move the step down</source>
        <translation>将此步骤下移</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Delete the step</source>
        <translation>删除此步骤</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Delete every step</source>
        <translation>删除全部步骤</translation>
    </message>
    <message>
        <source>Delay</source>
        <translation>延时</translation>
    </message>
    <message>
        <source>Recorded</source>
        <translation>录制延时</translation>
    </message>
    <message>
        <source>Fixed</source>
        <translation>固定延时</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>毫秒</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无延时</translation>
    </message>
    <message>
        <source>Playback</source>
        <translation>播放方式</translation>
    </message>
    <message>
        <source>Play N times</source>
        <translation>播放 N 次</translation>
    </message>
    <message>
        <source>Repeat while held</source>
        <translation>按住时重复</translation>
    </message>
    <message>
        <source>Toggle repeat</source>
        <translation>按一下开始/停止重复</translation>
    </message>
    <message>
        <source>times</source>
        <translation>次</translation>
    </message>
    <message>
        <source>Single key</source>
        <translation>单键</translation>
    </message>
    <message>
        <source>Send another key</source>
        <translation>映射为其他按键</translation>
    </message>
    <message>
        <source>Press the key on the keyboard that this key should send from now on.</source>
        <translation>请在键盘上按下此键今后要发送的按键。</translation>
    </message>
    <message>
        <source>Key to send</source>
        <translation>发送的按键</translation>
    </message>
    <message>
        <source>Listening for a key press</source>
        <translation>正在监听按键</translation>
    </message>
    <message>
        <source>Media key</source>
        <translation>多媒体键</translation>
    </message>
    <message>
        <source>Send a media key</source>
        <translation>映射为多媒体键</translation>
    </message>
    <message>
        <source>The key will control the volume or the playback of music and video.</source>
        <translation>此键将用于调节音量或控制音乐、视频的播放。</translation>
    </message>
    <message>
        <source>Choose a media key</source>
        <translation>选择多媒体键</translation>
    </message>
    <message>
        <source>Function key</source>
        <translatorcomment>The layout's title of the fourth tab; shown as the name used everywhere else (shortcut).</translatorcomment>
        <translation>快捷键</translation>
    </message>
    <message>
        <source>Send a shortcut</source>
        <translation>映射为快捷键</translation>
    </message>
    <message>
        <source>The key will send a key combination such as Copy or Paste.</source>
        <translation>此键将发送组合键，例如复制或粘贴。</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>快捷键</translation>
    </message>
    <message>
        <source>Choose a shortcut</source>
        <translation>选择快捷键</translation>
    </message>
    <message>
        <source>Remove assignment</source>
        <translation>删除分配</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Assignment kind</source>
        <translation>分配方式</translation>
    </message>
    <message>
        <source>Steps</source>
        <translation>步骤</translation>
    </message>
    <message>
        <source>Delay in milliseconds</source>
        <translation>延迟（毫秒）</translation>
    </message>
    <message>
        <source>Repeat times</source>
        <translation>重复次数</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>导入</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Import a macro from a file</source>
        <translation>从文件导入宏</translation>
    </message>
    <message>
        <source>Export the selected macro to a file</source>
        <translation>将所选的宏导出到文件</translation>
    </message>
</context>
<context>
    <name>menu</name>
    <message>
        <source>Check firmware</source>
        <translation>检查固件</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Show window</source>
        <translation>显示窗口</translation>
    </message>
</context>
<context>
    <name></name>
    <message>
        <source>Firmware</source>
        <translation>固件</translation>
    </message>
    <message>
        <source>: </source>
        <translation>：</translation>
    </message>
    <message>
        <source>Early version</source>
        <translation>早期版本</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>速度</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>亮度</translation>
    </message>
    <message>
        <source>Start record</source>
        <translation>开始录制</translation>
    </message>
    <message>
        <source>Stop record</source>
        <translation>停止录制</translation>
    </message>
    <message>
        <source>key down</source>
        <translation>按下</translation>
    </message>
    <message>
        <source>key up</source>
        <translation>松开</translation>
    </message>
    <message>
        <source>replace</source>
        <translation>替换</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>KBStudio is waiting for the keyboard</source>
        <translation>KBStudio 正在等待键盘</translation>
    </message>
    <message>
        <source>Please insert USB device!</source>
        <translation>请插入 USB 设备！</translation>
    </message>
    <message>
        <source>Please insert USB device</source>
        <translation>请插入 USB 设备</translation>
    </message>
    <message>
        <source>The firmware is already the latest version and no upgrade is required.</source>
        <translation>固件已是最新版本，无需升级。</translation>
    </message>
    <message>
        <source>All settings will be restored, are you sure you want to continue?</source>
        <translation>所有设置都将恢复为出厂状态，确定要继续吗？</translation>
    </message>
    <message>
        <source>Volume up</source>
        <translation>音量加</translation>
    </message>
    <message>
        <source>Volume down</source>
        <translation>音量减</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>静音</translation>
    </message>
    <message>
        <source>Play/Pause</source>
        <translation>播放/暂停</translation>
    </message>
    <message>
        <source>Next track</source>
        <translation>下一曲</translation>
    </message>
    <message>
        <source>Previous track</source>
        <translation>上一曲</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>剪切</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Show desktop</source>
        <translation>显示桌面</translation>
    </message>
    <message>
        <source>Lock</source>
        <translation>锁定电脑</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>常亮</translation>
    </message>
    <message>
        <source>Sweep</source>
        <translation>流光扫动</translation>
    </message>
    <message>
        <source>Breathing</source>
        <translation>呼吸</translation>
    </message>
    <message>
        <source>Spectrum cycle</source>
        <translation>光谱循环</translation>
    </message>
    <message>
        <source>Rainbow wave</source>
        <translation>彩虹波浪</translation>
    </message>
    <message>
        <source>Ripple</source>
        <translation>涟漪</translation>
    </message>
    <message>
        <source>Reactive</source>
        <translation>触发点亮</translation>
    </message>
    <message>
        <source>Reactive fade</source>
        <translation>触发渐隐</translation>
    </message>
    <message>
        <source>Starlight</source>
        <translation>星光</translation>
    </message>
    <message>
        <source>Raindrops</source>
        <translation>雨滴</translation>
    </message>
    <message>
        <source>Aurora</source>
        <translation>极光</translation>
    </message>
    <message>
        <source>Neon stream</source>
        <translation>霓虹流动</translation>
    </message>
    <message>
        <source>Color pulse</source>
        <translation>色彩脉冲</translation>
    </message>
    <message>
        <source>Spiral</source>
        <translation>螺旋</translation>
    </message>
    <message>
        <source>Scanner</source>
        <translation>雷达扫描</translation>
    </message>
    <message>
        <source>Fireworks</source>
        <translation>烟花</translation>
    </message>
    <message>
        <source>Snake</source>
        <translation>贪吃蛇</translation>
    </message>
    <message>
        <source>Heartbeat</source>
        <translation>心跳</translation>
    </message>
    <message>
        <source>Twinkle</source>
        <translation>闪烁</translation>
    </message>
    <message>
        <source>Lightning</source>
        <translation>闪电</translation>
    </message>
    <message>
        <source>Spectrum flow</source>
        <translation>光谱流动</translation>
    </message>
    <message>
        <source>Color wave</source>
        <translation>色彩波浪</translation>
    </message>
    <message>
        <source>Solid red</source>
        <translation>红色常亮</translation>
    </message>
    <message>
        <source>Solid orange</source>
        <translation>橙色常亮</translation>
    </message>
    <message>
        <source>Solid yellow</source>
        <translation>黄色常亮</translation>
    </message>
    <message>
        <source>Solid green</source>
        <translation>绿色常亮</translation>
    </message>
    <message>
        <source>Solid cyan</source>
        <translation>青色常亮</translation>
    </message>
    <message>
        <source>Solid blue</source>
        <translation>蓝色常亮</translation>
    </message>
    <message>
        <source>Solid purple</source>
        <translation>紫色常亮</translation>
    </message>
    <message>
        <source>Solid pink</source>
        <translation>粉色常亮</translation>
    </message>
    <message>
        <source>Solid white</source>
        <translation>白色常亮</translation>
    </message>
    <message>
        <source>Create or select a macro first, then start recording.</source>
        <translation>请先新建或选择一个宏，再开始录制。</translation>
    </message>
    <message>
        <source>This macro has %1 steps, but a key can hold at most %2. Remove some steps and assign it again. The key keeps its previous assignment.</source>
        <translation>此宏有 %1 个步骤，但一个按键最多只能保存 %2 个。请删除部分步骤后重新分配。该按键保留原来的分配。</translation>
    </message>
    <message>
        <source>This macro is too long to be stored for a key. Remove some steps and assign it again. The key keeps its previous assignment.</source>
        <translation>此宏太长，无法保存到按键。请删除部分步骤后重新分配。该按键保留原来的分配。</translation>
    </message>
    <message>
        <source>This play mode cannot be stored for a key. The key keeps its previous assignment.</source>
        <translation>此播放方式无法保存到按键。该按键保留原来的分配。</translation>
    </message>
    <message>
        <source>Shared files (*.xml);;All files (*)</source>
        <translation>共享文件 (*.xml);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Profiles</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>Name of the new profile (a copy of the active one):</source>
        <translation>新配置的名称（复制当前配置）：</translation>
    </message>
    <message>
        <source>New profile</source>
        <translation>新建配置</translation>
    </message>
    <message>
        <source>New name of the profile &quot;%1&quot;:</source>
        <translation>配置“%1”的新名称：</translation>
    </message>
    <message>
        <source>Rename profile</source>
        <translation>重命名配置</translation>
    </message>
    <message>
        <source>The active profile is the only one; it cannot be deleted.</source>
        <translation>当前配置是唯一的配置，不能删除。</translation>
    </message>
    <message>
        <source>Profile to delete (the active one stays):</source>
        <translation>要删除的配置（当前配置保留）：</translation>
    </message>
    <message>
        <source>Delete profile</source>
        <translation>删除配置</translation>
    </message>
    <message>
        <source>Delete the profile &quot;%1&quot;? This cannot be undone.</source>
        <translation>删除配置“%1”？此操作无法撤销。</translation>
    </message>
    <message>
        <source>Export profile</source>
        <translation>导出配置</translation>
    </message>
    <message>
        <source>The file cannot be written: %1</source>
        <translation>无法写入文件：%1</translation>
    </message>
    <message>
        <source>Import profile</source>
        <translation>导入配置</translation>
    </message>
    <message>
        <source>The file cannot be read.</source>
        <translation>无法读取文件。</translation>
    </message>
    <message>
        <source>The file holds no profile.</source>
        <translation>文件中没有配置。</translation>
    </message>
    <message>
        <source>A profile named &quot;%1&quot; exists. Replace it?</source>
        <translation>已有名为“%1”的配置。要替换吗？</translation>
    </message>
    <message>
        <source>Replace the macros of the same names?</source>
        <translation>替换同名的宏吗？</translation>
    </message>
    <message>
        <source>Export macro</source>
        <translation>导出宏</translation>
    </message>
    <message>
        <source>Import macro</source>
        <translation>导入宏</translation>
    </message>
    <message>
        <source>The file holds no macro.</source>
        <translation>文件中没有宏。</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
</TS>
