<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>XML_MAINWND</name>
    <message>
        <source>Keyboard configuration</source>
        <translation>Keyboard configuration</translation>
    </message>
    <message>
        <source>More</source>
        <translation>More</translation>
    </message>
    <message>
        <source>Key assignment</source>
        <translation>Key assignment</translation>
    </message>
    <message>
        <source>Click a key to give it a macro, another key, a media key or a shortcut.</source>
        <translation>Click a key to give it a macro, another key, a media key or a shortcut.</translation>
    </message>
    <message>
        <source>Lighting effect</source>
        <translation>Lighting effect</translation>
    </message>
    <message>
        <source>Effect</source>
        <translation>Effect</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>Static</translation>
    </message>
    <message>
        <source>Sweep</source>
        <translation>Sweep</translation>
    </message>
    <message>
        <source>Breathing</source>
        <translation>Breathing</translation>
    </message>
    <message>
        <source>Spectrum cycle</source>
        <translation>Spectrum cycle</translation>
    </message>
    <message>
        <source>Rainbow wave</source>
        <translation>Rainbow wave</translation>
    </message>
    <message>
        <source>Ripple</source>
        <translation>Ripple</translation>
    </message>
    <message>
        <source>Reactive</source>
        <translation>Reactive</translation>
    </message>
    <message>
        <source>Reactive fade</source>
        <translation>Reactive fade</translation>
    </message>
    <message>
        <source>Starlight</source>
        <translation>Starlight</translation>
    </message>
    <message>
        <source>Raindrops</source>
        <translation>Raindrops</translation>
    </message>
    <message>
        <source>Aurora</source>
        <translation>Aurora</translation>
    </message>
    <message>
        <source>Neon stream</source>
        <translation>Neon stream</translation>
    </message>
    <message>
        <source>Color pulse</source>
        <translation>Color pulse</translation>
    </message>
    <message>
        <source>Spiral</source>
        <translation>Spiral</translation>
    </message>
    <message>
        <source>Scanner</source>
        <translation>Scanner</translation>
    </message>
    <message>
        <source>Fireworks</source>
        <translation>Fireworks</translation>
    </message>
    <message>
        <source>Snake</source>
        <translation>Snake</translation>
    </message>
    <message>
        <source>Heartbeat</source>
        <translation>Heartbeat</translation>
    </message>
    <message>
        <source>Twinkle</source>
        <translation>Twinkle</translation>
    </message>
    <message>
        <source>Lightning</source>
        <translation>Lightning</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>To the left</source>
        <translation>To the left</translation>
    </message>
    <message>
        <source>To the right</source>
        <translation>To the right</translation>
    </message>
    <message>
        <source>Start from</source>
        <translation>Start from</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>Center</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>Every change is saved and sent to the keyboard at once.</source>
        <translation>Every change is saved and sent to the keyboard at once.</translation>
    </message>
    <message>
        <source>Side light</source>
        <translation>Side light</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Spectrum flow</source>
        <translation>Spectrum flow</translation>
    </message>
    <message>
        <source>Color wave</source>
        <translation>Color wave</translation>
    </message>
    <message>
        <source>Solid red</source>
        <translation>Solid red</translation>
    </message>
    <message>
        <source>Solid orange</source>
        <translation>Solid orange</translation>
    </message>
    <message>
        <source>Solid yellow</source>
        <translation>Solid yellow</translation>
    </message>
    <message>
        <source>Solid green</source>
        <translation>Solid green</translation>
    </message>
    <message>
        <source>Solid cyan</source>
        <translation>Solid cyan</translation>
    </message>
    <message>
        <source>Solid blue</source>
        <translation>Solid blue</translation>
    </message>
    <message>
        <source>Solid purple</source>
        <translation>Solid purple</translation>
    </message>
    <message>
        <source>Solid pink</source>
        <translation>Solid pink</translation>
    </message>
    <message>
        <source>Solid white</source>
        <translation>Solid white</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>Firmware: —</source>
        <translation>Firmware: —</translation>
    </message>
    <message>
        <source>Restore factory settings</source>
        <translation>Restore factory settings</translation>
    </message>
    <message>
        <source>KBStudio keyboard settings</source>
        <translation>KBStudio keyboard settings</translation>
    </message>
    <message>
        <source>Hide to tray</source>
        <translation>Hide to tray</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Keyboard</source>
        <translation>Keyboard</translation>
    </message>
    <message>
        <source>Effect settings</source>
        <translation>Effect settings</translation>
    </message>
    <message>
        <source>Side light mode</source>
        <translation>Side light mode</translation>
    </message>
    <message>
        <source>Side light level</source>
        <translation>Side light level</translation>
    </message>
    <message>
        <source>The keyboard keeps one profile.</source>
        <translation>The keyboard keeps one profile.</translation>
    </message>
    <message>
        <source>The active profile: its assignments and lighting</source>
        <translation>The active profile: its assignments and lighting</translation>
    </message>
    <message>
        <source>A new profile: a copy of the active one</source>
        <translation>A new profile: a copy of the active one</translation>
    </message>
    <message>
        <source>Rename the active profile</source>
        <translation>Rename the active profile</translation>
    </message>
    <message>
        <source>Delete a profile that is not active</source>
        <translation>Delete a profile that is not active</translation>
    </message>
    <message>
        <source>Import a profile from a file</source>
        <translation>Import a profile from a file</translation>
    </message>
    <message>
        <source>Export the active profile to a file</source>
        <translation>Export the active profile to a file</translation>
    </message>
</context>
<context>
    <name>macro</name>
    <message>
        <source>Assign key</source>
        <translation>Assign key</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Macro</source>
        <translation>Macro</translation>
    </message>
    <message>
        <source>Macros</source>
        <translation>Macros</translation>
    </message>
    <message>
        <source>New macro</source>
        <translation>New macro</translation>
    </message>
    <message>
        <source>Delete macro</source>
        <translation>Delete macro</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>Key</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>Delay (ms)</source>
        <translation>Delay (ms)</translation>
    </message>
    <message>
        <source>Start record</source>
        <translation>Start record</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>Move the step up</source>
        <translation>Move the step up</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>Move the step down</source>
        <translation>Move the step down</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Delete the step</source>
        <translation>Delete the step</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Delete every step</source>
        <translation>Delete every step</translation>
    </message>
    <message>
        <source>Delay</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>Recorded</source>
        <translation>Recorded</translation>
    </message>
    <message>
        <source>Fixed</source>
        <translation>Fixed</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Playback</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>Play N times</source>
        <translation>Play N times</translation>
    </message>
    <message>
        <source>Repeat while held</source>
        <translation>Repeat while held</translation>
    </message>
    <message>
        <source>Toggle repeat</source>
        <translation>Toggle repeat</translation>
    </message>
    <message>
        <source>times</source>
        <translation>times</translation>
    </message>
    <message>
        <source>Single key</source>
        <translation>Single key</translation>
    </message>
    <message>
        <source>Send another key</source>
        <translation>Send another key</translation>
    </message>
    <message>
        <source>Press the key on the keyboard that this key should send from now on.</source>
        <translation>Press the key on the keyboard that this key should send from now on.</translation>
    </message>
    <message>
        <source>Key to send</source>
        <translation>Key to send</translation>
    </message>
    <message>
        <source>Listening for a key press</source>
        <translation>Listening for a key press</translation>
    </message>
    <message>
        <source>Media key</source>
        <translation>Media key</translation>
    </message>
    <message>
        <source>Send a media key</source>
        <translation>Send a media key</translation>
    </message>
    <message>
        <source>The key will control the volume or the playback of music and video.</source>
        <translation>The key will control the volume or the playback of music and video.</translation>
    </message>
    <message>
        <source>Choose a media key</source>
        <translation>Choose a media key</translation>
    </message>
    <message>
        <source>Function key</source>
        <translatorcomment>The layout's title of the fourth tab; shown as the name used everywhere else (shortcut).</translatorcomment>
        <translation>Shortcut</translation>
    </message>
    <message>
        <source>Send a shortcut</source>
        <translation>Send a shortcut</translation>
    </message>
    <message>
        <source>The key will send a key combination such as Copy or Paste.</source>
        <translation>The key will send a key combination such as Copy or Paste.</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>Shortcut</translation>
    </message>
    <message>
        <source>Choose a shortcut</source>
        <translation>Choose a shortcut</translation>
    </message>
    <message>
        <source>Remove assignment</source>
        <translation>Remove assignment</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Assignment kind</source>
        <translation>Assignment kind</translation>
    </message>
    <message>
        <source>Steps</source>
        <translation>Steps</translation>
    </message>
    <message>
        <source>Delay in milliseconds</source>
        <translation>Delay in milliseconds</translation>
    </message>
    <message>
        <source>Repeat times</source>
        <translation>Repeat times</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Import a macro from a file</source>
        <translation>Import a macro from a file</translation>
    </message>
    <message>
        <source>Export the selected macro to a file</source>
        <translation>Export the selected macro to a file</translation>
    </message>
</context>
<context>
    <name>menu</name>
    <message>
        <source>Check firmware</source>
        <translation>Check firmware</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Show window</source>
        <translation>Show window</translation>
    </message>
</context>
<context>
    <name></name>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>: </source>
        <translation>: </translation>
    </message>
    <message>
        <source>Early version</source>
        <translation>Early version</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>Start record</source>
        <translation>Start record</translation>
    </message>
    <message>
        <source>Stop record</source>
        <translation>Stop record</translation>
    </message>
    <message>
        <source>key down</source>
        <translation>key down</translation>
    </message>
    <message>
        <source>key up</source>
        <translation>key up</translation>
    </message>
    <message>
        <source>replace</source>
        <translation>replace</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>KBStudio is waiting for the keyboard</source>
        <translation>KBStudio is waiting for the keyboard</translation>
    </message>
    <message>
        <source>Please insert USB device!</source>
        <translation>Please insert USB device!</translation>
    </message>
    <message>
        <source>Please insert USB device</source>
        <translation>Please insert USB device</translation>
    </message>
    <message>
        <source>The firmware is already the latest version and no upgrade is required.</source>
        <translation>The firmware is already the latest version and no upgrade is required.</translation>
    </message>
    <message>
        <source>All settings will be restored, are you sure you want to continue?</source>
        <translation>All settings will be restored, are you sure you want to continue?</translation>
    </message>
    <message>
        <source>Volume up</source>
        <translation>Volume up</translation>
    </message>
    <message>
        <source>Volume down</source>
        <translation>Volume down</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>Play/Pause</source>
        <translation>Play/Pause</translation>
    </message>
    <message>
        <source>Next track</source>
        <translation>Next track</translation>
    </message>
    <message>
        <source>Previous track</source>
        <translation>Previous track</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>Show desktop</source>
        <translation>Show desktop</translation>
    </message>
    <message>
        <source>Lock</source>
        <translation>Lock</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>Static</translation>
    </message>
    <message>
        <source>Sweep</source>
        <translation>Sweep</translation>
    </message>
    <message>
        <source>Breathing</source>
        <translation>Breathing</translation>
    </message>
    <message>
        <source>Spectrum cycle</source>
        <translation>Spectrum cycle</translation>
    </message>
    <message>
        <source>Rainbow wave</source>
        <translation>Rainbow wave</translation>
    </message>
    <message>
        <source>Ripple</source>
        <translation>Ripple</translation>
    </message>
    <message>
        <source>Reactive</source>
        <translation>Reactive</translation>
    </message>
    <message>
        <source>Reactive fade</source>
        <translation>Reactive fade</translation>
    </message>
    <message>
        <source>Starlight</source>
        <translation>Starlight</translation>
    </message>
    <message>
        <source>Raindrops</source>
        <translation>Raindrops</translation>
    </message>
    <message>
        <source>Aurora</source>
        <translation>Aurora</translation>
    </message>
    <message>
        <source>Neon stream</source>
        <translation>Neon stream</translation>
    </message>
    <message>
        <source>Color pulse</source>
        <translation>Color pulse</translation>
    </message>
    <message>
        <source>Spiral</source>
        <translation>Spiral</translation>
    </message>
    <message>
        <source>Scanner</source>
        <translation>Scanner</translation>
    </message>
    <message>
        <source>Fireworks</source>
        <translation>Fireworks</translation>
    </message>
    <message>
        <source>Snake</source>
        <translation>Snake</translation>
    </message>
    <message>
        <source>Heartbeat</source>
        <translation>Heartbeat</translation>
    </message>
    <message>
        <source>Twinkle</source>
        <translation>Twinkle</translation>
    </message>
    <message>
        <source>Lightning</source>
        <translation>Lightning</translation>
    </message>
    <message>
        <source>Spectrum flow</source>
        <translation>Spectrum flow</translation>
    </message>
    <message>
        <source>Color wave</source>
        <translation>Color wave</translation>
    </message>
    <message>
        <source>Solid red</source>
        <translation>Solid red</translation>
    </message>
    <message>
        <source>Solid orange</source>
        <translation>Solid orange</translation>
    </message>
    <message>
        <source>Solid yellow</source>
        <translation>Solid yellow</translation>
    </message>
    <message>
        <source>Solid green</source>
        <translation>Solid green</translation>
    </message>
    <message>
        <source>Solid cyan</source>
        <translation>Solid cyan</translation>
    </message>
    <message>
        <source>Solid blue</source>
        <translation>Solid blue</translation>
    </message>
    <message>
        <source>Solid purple</source>
        <translation>Solid purple</translation>
    </message>
    <message>
        <source>Solid pink</source>
        <translation>Solid pink</translation>
    </message>
    <message>
        <source>Solid white</source>
        <translation>Solid white</translation>
    </message>
    <message>
        <source>Create or select a macro first, then start recording.</source>
        <translation>Create or select a macro first, then start recording.</translation>
    </message>
    <message>
        <source>This macro has %1 steps, but a key can hold at most %2. Remove some steps and assign it again. The key keeps its previous assignment.</source>
        <translation>This macro has %1 steps, but a key can hold at most %2. Remove some steps and assign it again. The key keeps its previous assignment.</translation>
    </message>
    <message>
        <source>This macro is too long to be stored for a key. Remove some steps and assign it again. The key keeps its previous assignment.</source>
        <translation>This macro is too long to be stored for a key. Remove some steps and assign it again. The key keeps its previous assignment.</translation>
    </message>
    <message>
        <source>This play mode cannot be stored for a key. The key keeps its previous assignment.</source>
        <translation>This play mode cannot be stored for a key. The key keeps its previous assignment.</translation>
    </message>
    <message>
        <source>Shared files (*.xml);;All files (*)</source>
        <translation>Shared files (*.xml);;All files (*)</translation>
    </message>
    <message>
        <source>Profiles</source>
        <translation>Profiles</translation>
    </message>
    <message>
        <source>Name of the new profile (a copy of the active one):</source>
        <translation>Name of the new profile (a copy of the active one):</translation>
    </message>
    <message>
        <source>New profile</source>
        <translation>New profile</translation>
    </message>
    <message>
        <source>New name of the profile &quot;%1&quot;:</source>
        <translation>New name of the profile &quot;%1&quot;:</translation>
    </message>
    <message>
        <source>Rename profile</source>
        <translation>Rename profile</translation>
    </message>
    <message>
        <source>The active profile is the only one; it cannot be deleted.</source>
        <translation>The active profile is the only one; it cannot be deleted.</translation>
    </message>
    <message>
        <source>Profile to delete (the active one stays):</source>
        <translation>Profile to delete (the active one stays):</translation>
    </message>
    <message>
        <source>Delete profile</source>
        <translation>Delete profile</translation>
    </message>
    <message>
        <source>Delete the profile &quot;%1&quot;? This cannot be undone.</source>
        <translation>Delete the profile &quot;%1&quot;? This cannot be undone.</translation>
    </message>
    <message>
        <source>Export profile</source>
        <translation>Export profile</translation>
    </message>
    <message>
        <source>The file cannot be written: %1</source>
        <translation>The file cannot be written: %1</translation>
    </message>
    <message>
        <source>Import profile</source>
        <translation>Import profile</translation>
    </message>
    <message>
        <source>The file cannot be read.</source>
        <translation>The file cannot be read.</translation>
    </message>
    <message>
        <source>The file holds no profile.</source>
        <translation>The file holds no profile.</translation>
    </message>
    <message>
        <source>A profile named &quot;%1&quot; exists. Replace it?</source>
        <translation>A profile named &quot;%1&quot; exists. Replace it?</translation>
    </message>
    <message>
        <source>Replace the macros of the same names?</source>
        <translation>Replace the macros of the same names?</translation>
    </message>
    <message>
        <source>Export macro</source>
        <translation>Export macro</translation>
    </message>
    <message>
        <source>Import macro</source>
        <translation>Import macro</translation>
    </message>
    <message>
        <source>The file holds no macro.</source>
        <translation>The file holds no macro.</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
