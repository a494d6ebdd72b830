<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- SPDX-License-Identifier: AGPL-3.0-or-later -->
<TS version="2.1" language="eo">
<context>
    <name>lumafold::MainWindow</name>
    <message>
        <source>Insert Blank Page</source>
        <translation>Enmeti malplenan paĝon</translation>
    </message>
</context>
</TS>
