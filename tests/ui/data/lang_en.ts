<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>LangForm</name>
    <message><source>Firmware</source><translation>Firmware version</translation></message>
    <message><source>Exit</source><translation>Quit</translation></message>
</context>
<context>
    <name></name>
    <message><source>Early version</source><translation>Early firmware</translation></message>
</context>
</TS>
