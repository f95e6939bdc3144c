<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>LangForm</name>
    <message><source>Firmware</source><translation>固件</translation></message>
    <message><source>Exit</source><translation>退出</translation></message>
    <message><source>Close</source><translation>关闭</translation></message>
    <message><source>Speed</source><translation>速度</translation></message>
</context>
<context>
    <name></name>
    <message><source>Early version</source><translation>早期版本</translation></message>
</context>
<context>
    <name>menu</name>
    <message><source>Exit</source><translation>退出</translation></message>
</context>
</TS>
