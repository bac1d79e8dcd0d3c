<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AboutBox</name>
    <message>
        <source>&lt;h3&gt;步进驱动器调试工具 %1&lt;/h3&gt;&lt;p&gt;开环与闭环步进电机驱动器的 Modbus RTU 调试工具。&lt;/p&gt;&lt;p&gt;版权所有 2026 Stepper driver tool developers。保留所有权利；未授予复制、修改或再发布的许可。&lt;/p&gt;&lt;p&gt;使用 Qt %2（编译时 %3）、Qwt 和 libmodbus，它们各有自己的许可。&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Stepper driver tool %1&lt;/h3&gt;&lt;p&gt;A Modbus RTU tool for open- and closed-loop stepper-motor drivers.&lt;/p&gt;&lt;p&gt;Copyright 2026 Stepper driver tool developers. All rights reserved; no licence to copy, modify or redistribute it has been granted.&lt;/p&gt;&lt;p&gt;Uses Qt %2 (built with %3), Qwt and libmodbus, each under its own licence.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>AlarmBanner</name>
    <message>
        <source>驱动器报警：点击查看本次会话的报警记录</source>
        <translation>The driver is in alarm: click to see this session&apos;s alarm history</translation>
    </message>
    <message>
        <source>报警记录…</source>
        <translation>Alarm history…</translation>
    </message>
    <message>
        <source>⚠ %1</source>
        <translation>⚠ %1</translation>
    </message>
    <message>
        <source>⚠ %1 — 当前状态未知：最后读到于 %2，之后没有有效读数</source>
        <translation>⚠ %1 — state now unknown: last read at %2, no valid reading since</translation>
    </message>
    <message>
        <source>⚠ %1（总线于 %2 读到）</source>
        <translation>⚠ %1 (read on the bus at %2)</translation>
    </message>
</context>
<context>
    <name>AlarmHistoryDialog</name>
    <message>
        <source>报警记录</source>
        <translation>Alarm history</translation>
    </message>
    <message>
        <source>报警时间</source>
        <translation>Raised</translation>
    </message>
    <message>
        <source>代码</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>报警</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>清除时间</source>
        <translation>Cleared</translation>
    </message>
    <message>
        <source>报警中</source>
        <translation>in alarm</translation>
    </message>
    <message>
        <source>未知（无有效读数）</source>
        <translation>unknown (no valid reading)</translation>
    </message>
    <message>
        <source>未读到</source>
        <translation>not read</translation>
    </message>
    <message>
        <source>驱动器</source>
        <translation>Driver</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
</context>
<context>
    <name>AlarmWatch</name>
    <message>
        <source>报警（状态字 bit %1）</source>
        <translation>Alarm (status word bit %1)</translation>
    </message>
    <message>
        <source>报警（状态字 bit %1 %2）</source>
        <translation>Alarm (status word bit %1 %2)</translation>
    </message>
    <message>
        <source>报警 %1</source>
        <translation>Alarm %1</translation>
    </message>
    <message>
        <source>报警 %1：%2</source>
        <translation>Alarm %1: %2</translation>
    </message>
</context>
<context>
    <name>BusBatchDialog</name>
    <message>
        <source>驱动器 %1 / %2（地址 %3）：读取</source>
        <translation>Driver %1 / %2 (address %3): reading</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>reading</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>writing</translation>
    </message>
    <message>
        <source>完成 %1 / %2 台驱动器</source>
        <translation>Finished %1 / %2 drivers</translation>
    </message>
    <message>
        <source>正在取消…</source>
        <translation>Cancelling…</translation>
    </message>
    <message>
        <source>，未写入</source>
        <translation>, nothing written</translation>
    </message>
    <message>
        <source>，未保存</source>
        <translation>, nothing saved</translation>
    </message>
    <message>
        <source>地址 %1：</source>
        <translation>Address %1: </translation>
    </message>
    <message>
        <source>与文件相同，未写入</source>
        <translation>same as the file, nothing written</translation>
    </message>
    <message>
        <source>已保存 %1（%2 个参数）</source>
        <translation>saved %1 (%2 registers)</translation>
    </message>
    <message>
        <source>%1 个参数已写入并确认；撤销文件 %2</source>
        <translation>%1 registers written and confirmed; undo file %2</translation>
    </message>
    <message>
        <source>已保存 %1（%2 个参数），不完整</source>
        <translation>saved %1 (%2 registers), incomplete</translation>
    </message>
    <message>
        <source>；未读取，未保存: </source>
        <translation>; unread, not saved: </translation>
    </message>
    <message>
        <source>未完成</source>
        <translation>not finished</translation>
    </message>
    <message>
        <source>失败：撤销文件未能保存，未写入: </source>
        <translation>FAILED: the undo file could not be saved, nothing written: </translation>
    </message>
    <message>
        <source>失败：文件未能保存: </source>
        <translation>FAILED: the file could not be saved: </translation>
    </message>
    <message>
        <source>失败：驱动器不再应答</source>
        <translation>FAILED: the driver stopped answering</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>FAILED</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>无应答（询问两次，%1）：请检查地址、波特率与校验位、A/B 接线，或扫描总线</source>
        <translation>no answer (asked twice, %1): check the address, the baud rate and parity, the A/B wiring, or scan the bus</translation>
    </message>
    <message>
        <source>存疑：收到无人请求的应答，读到的值均不可信</source>
        <translation>doubtful: a reply came that no request asked for; no value read is trusted</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>串口已关闭</source>
        <translation>the port closed</translation>
    </message>
    <message>
        <source>未开始</source>
        <translation>not begun</translation>
    </message>
    <message>
        <source>；%1 / %2 个参数已写入并确认</source>
        <translation>; %1 / %2 registers written and confirmed</translation>
    </message>
    <message>
        <source>；写入失败: </source>
        <translation>; writes failed: </translation>
    </message>
    <message>
        <source>；未确认（可能已写入）: </source>
        <translation>; unconfirmed (may have been written): </translation>
    </message>
    <message>
        <source>；未写入: </source>
        <translation>; not written: </translation>
    </message>
    <message>
        <source>；无应答: </source>
        <translation>; no answer: </translation>
    </message>
    <message>
        <source>；撤销文件 %1</source>
        <translation>; undo file %1</translation>
    </message>
    <message>
        <source>失败：有写入需要确认（超出范围或危险命令），未写入任何参数: </source>
        <translation>FAILED: writes wait for a confirmation (out of range or a danger command), nothing was written: </translation>
    </message>
    <message>
        <source>已跳过：文件与驱动器身份不符或未记录身份，未写入（%1）</source>
        <translation>skipped: the file is not this driver&apos;s, or records no identity; nothing written (%1)</translation>
    </message>
</context>
<context>
    <name>BusPanel</name>
    <message>
        <source>总线</source>
        <translation>Bus</translation>
    </message>
    <message>
        <source>驱动器地址</source>
        <translation>Driver addresses</translation>
    </message>
    <message>
        <source>如 1-4,7</source>
        <translation>e.g. 1-4,7</translation>
    </message>
    <message>
        <source>设定</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>报警</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>最后应答</source>
        <translation>Last answer</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>no alarm</translation>
    </message>
    <message>
        <source>报警 %1</source>
        <translation>Alarm %1</translation>
    </message>
    <message>
        <source>报警（状态字 bit %1）</source>
        <translation>Alarm (status word bit %1)</translation>
    </message>
    <message>
        <source>
地址列表“%1”无效：请输入 1..247 的地址或范围，如 1-4,7
</source>
        <translation>
Address list &quot;%1&quot; is not valid: give addresses 1..247 or ranges, e.g. 1-4,7
</translation>
    </message>
    <message>
        <source>失去联系（%1）</source>
        <translation>lost (%1)</translation>
    </message>
    <message>
        <source>报警 %1：%2</source>
        <translation>Alarm %1: %2</translation>
    </message>
    <message>
        <source>标识未读</source>
        <translation>Identity not read yet</translation>
    </message>
</context>
<context>
    <name>BusParameterSets</name>
    <message>
        <source>保存参数：%1 台驱动器各存一个文件的文件夹</source>
        <translation>Save parameters: a folder for one file per driver (%1 drivers)</translation>
    </message>
    <message>
        <source>保存参数：地址 %1 → %2</source>
        <translation>Save parameters: addresses %1 → %2</translation>
    </message>
    <message>
        <source>载入参数</source>
        <translation>Load parameters</translation>
    </message>
    <message>
        <source>参数文件 (*.csv);;所有文件 (*)</source>
        <translation>Parameter files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>把参数文件 %1 写入 %2 台驱动器（地址 %3）？

每台先读取并核对型号与固件：不同的跳过，不写入。写入前为每台保存撤销文件。</source>
        <translation>Write the parameter file %1 to %2 drivers (addresses %3)?

Each is read and its model and firmware checked first: a different one is skipped, not written. Each gets its undo file before the first write.</translation>
    </message>
    <message>
        <source>载入参数：%1 → 地址 %2</source>
        <translation>Load parameters: %1 → addresses %2</translation>
    </message>
</context>
<context>
    <name>CaptureDock</name>
    <message>
        <source>采集</source>
        <translation>Capture</translation>
    </message>
    <message>
        <source>行</source>
        <translation>Rows</translation>
    </message>
    <message>
        <source>要采集的行；相邻地址的行一次块读</source>
        <translation>The rows to capture; rows at consecutive addresses are read in one block</translation>
    </message>
    <message>
        <source>触发</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>立即</source>
        <translation>At once</translation>
    </message>
    <message>
        <source>行越过电平</source>
        <translation>Row crosses level</translation>
    </message>
    <message>
        <source>试运行开始</source>
        <translation>Test move start</translation>
    </message>
    <message>
        <source>上升</source>
        <translation>Rising</translation>
    </message>
    <message>
        <source>下降</source>
        <translation>Falling</translation>
    </message>
    <message>
        <source>双向</source>
        <translation>Either</translation>
    </message>
    <message>
        <source>电平，按该行显示的单位</source>
        <translation>Level, in the row&apos;s shown units</translation>
    </message>
    <message>
        <source>触发前</source>
        <translation>Pre</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>布防</source>
        <translation>Arm</translation>
    </message>
    <message>
        <source>开始采样，等待触发</source>
        <translation>Start sampling and wait for the trigger</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>保存…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>对比…</source>
        <translation>Compare…</translation>
    </message>
    <message>
        <source>载入以前的采集，以虚线叠加在当前采集上</source>
        <translation>Load earlier captures and lay them over the current one in dashed lines</translation>
    </message>
    <message>
        <source>清除对比</source>
        <translation>Clear compared</translation>
    </message>
    <message>
        <source>阶跃</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>跟随误差</source>
        <translation>Following error</translation>
    </message>
    <message>
        <source>上升 10–90 %</source>
        <translation>Rise 10–90 %</translation>
    </message>
    <message>
        <source>超调</source>
        <translation>Overshoot</translation>
    </message>
    <message>
        <source>调节 ±2 %</source>
        <translation>Settling ±2 %</translation>
    </message>
    <message>
        <source>跟随误差峰值</source>
        <translation>Peak following error</translation>
    </message>
    <message>
        <source>已布防，等待触发…</source>
        <translation>Armed, waiting for the trigger…</translation>
    </message>
    <message>
        <source>已触发，采集中…</source>
        <translation>Triggered, capturing…</translation>
    </message>
    <message>
        <source>行 (%1)</source>
        <translation>Rows (%1)</translation>
    </message>
    <message>
        <source>未布防：%1</source>
        <translation>Not armed: %1</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>已采集 %1 个样本</source>
        <translation>Captured %1 samples</translation>
    </message>
    <message>
        <source>采集未完成：%1</source>
        <translation>Capture not finished: %1</translation>
    </message>
    <message>
        <source>还没有采集</source>
        <translation>there is no capture yet</translation>
    </message>
    <message>
        <source>保存采集</source>
        <translation>Save capture</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>已保存到 %1</source>
        <translation>Saved to %1</translation>
    </message>
    <message>
        <source>无法保存 %1：%2</source>
        <translation>Cannot save %1: %2</translation>
    </message>
    <message>
        <source>载入采集以对比</source>
        <translation>Load captures to compare</translation>
    </message>
    <message>
        <source>无法载入 %1：%2</source>
        <translation>Cannot load %1: %2</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>当前</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>未布防：请先在“行”中选择要采集的行</source>
        <translation>Not armed: first tick the rows to capture under “Rows”</translation>
    </message>
    <message>
        <source>触发没有到来</source>
        <translation>the trigger did not come</translation>
    </message>
    <message>
        <source>线路已关闭</source>
        <translation>the line closed</translation>
    </message>
    <message>
        <source>驱动器连续几次没有应答</source>
        <translation>the driver did not answer several reads in a row</translation>
    </message>
    <message>
        <source>收到没有请求的应答，样本可能属于别的读取</source>
        <translation>a reply came that no request asked for, so samples may belong to other reads</translation>
    </message>
    <message>
        <source>未布防：串口未打开</source>
        <translation>Not armed: the port is not open</translation>
    </message>
</context>
<context>
    <name>CapturePlot</name>
    <message>
        <source>触发后时间 (ms)</source>
        <translation>Time after the trigger (ms)</translation>
    </message>
</context>
<context>
    <name>CaptureView</name>
    <message>
        <source>采集</source>
        <translation>Capture</translation>
    </message>
</context>
<context>
    <name>CommandPanel</name>
    <message>
        <source>命令：</source>
        <translation>Commands:</translation>
    </message>
    <message>
        <source>我知道这会改变驱动器的设置</source>
        <translation>I accept ⚠ changes</translation>
    </message>
    <message>
        <source>标有 ⚠ 的命令会永久改变驱动器的设置；每次发送后需重新勾选</source>
        <translation>Commands marked ⚠ change the driver&apos;s settings for good; tick again before each send</translation>
    </message>
</context>
<context>
    <name>CompareDialog</name>
    <message>
        <source>参数比较</source>
        <translation>Compare parameters</translation>
    </message>
    <message>
        <source>只显示差异</source>
        <translation>Differences only</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>文件值</source>
        <translation>In file</translation>
    </message>
    <message>
        <source>驱动器值</source>
        <translation>In driver</translation>
    </message>
    <message>
        <source>权限</source>
        <translation>Access</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>写入选中</source>
        <translation>Write ticked</translation>
    </message>
    <message>
        <source>取消写入</source>
        <translation>Cancel writing</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>没有选中要写入的参数</source>
        <translation>No parameter is ticked for writing</translation>
    </message>
    <message>
        <source>文件有错误，不能写入:
</source>
        <translation>The file has errors and cannot be written:
</translation>
    </message>
    <message>
        <source>写入前的参数已保存到 %1</source>
        <translation>The values before writing were saved to %1</translation>
    </message>
    <message>
        <source>已写入</source>
        <translation>Written</translation>
    </message>
    <message>
        <source>写入失败: </source>
        <translation>Write failed: </translation>
    </message>
    <message>
        <source>已写入并确认 %1 个参数</source>
        <translation>%1 parameters written and confirmed</translation>
    </message>
    <message>
        <source>，已取消</source>
        <translation>, cancelled</translation>
    </message>
    <message>
        <source>；失败: </source>
        <translation>; failed: </translation>
    </message>
    <message>
        <source>
撤销文件: </source>
        <translation>
Undo file: </translation>
    </message>
    <message>
        <source>未确认（可能已写入）: </source>
        <translation>Unconfirmed (may have been written): </translation>
    </message>
    <message>
        <source>，连接已断开，其余未写入</source>
        <translation>, the connection closed, the rest were not written</translation>
    </message>
    <message>
        <source>，驱动器不再应答，其余未写入</source>
        <translation>, the driver stopped answering, the rest were not written</translation>
    </message>
    <message>
        <source>；未确认（可能已写入）: </source>
        <translation>; unconfirmed (may have been written): </translation>
    </message>
    <message>
        <source>
串口已关闭：请重新打开串口并重新载入参数后再写入</source>
        <translation>
The port was closed: open it and load the parameters again before writing</translation>
    </message>
    <message>
        <source>未写入任何参数</source>
        <translation>nothing was written</translation>
    </message>
    <message>
        <source>超出范围</source>
        <translation>Out of range</translation>
    </message>
    <message>
        <source>以下参数的值超出映射表的范围，仍然写入吗？
</source>
        <translation>These values are outside the map&apos;s range. Write them anyway?
</translation>
    </message>
    <message>
        <source>收到无人请求的应答（另一主站，或同一地址上的第二台设备？）：所有写入均未确认，可能已写入</source>
        <translation>A reply came that no request asked for (another master, or a second device at the same address?): no write is confirmed; they may have been applied</translation>
    </message>
    <message>
        <source>收到无人请求的应答</source>
        <translation>a reply came that no request asked for</translation>
    </message>
    <message>
        <source>未记录身份</source>
        <translation>no identity recorded</translation>
    </message>
    <message>
        <source>文件来自另一型号或固件的驱动器：</source>
        <translation>The file comes from a driver of another model or firmware:</translation>
    </message>
    <message>
        <source>驱动器身份不同</source>
        <translation>The driver&apos;s identity differs</translation>
    </message>
    <message>
        <source>文件：%1
驱动器：%2
仍然写入吗？</source>
        <translation>File: %1
Driver: %2
Write anyway?</translation>
    </message>
    <message>
        <source>仍然写入（%1）</source>
        <translation>Write anyway (%1)</translation>
    </message>
    <message>
        <source>不写入</source>
        <translation>Do not write</translation>
    </message>
    <message>
        <source>
站地址已改变：此比较属于原来的驱动器，请重新载入参数后再写入</source>
        <translation>
The slave address has changed: this comparison belongs to the driver before; load the parameters again before writing</translation>
    </message>
    <message>
        <source>未记录驱动器身份</source>
        <translation>Identity not recorded</translation>
    </message>
    <message>
        <source>仍然写入（未记录身份）</source>
        <translation>Write anyway (identity not recorded)</translation>
    </message>
    <message>
        <source>危险命令</source>
        <translation>Danger command</translation>
    </message>
    <message>
        <source>以下写入是改变驱动器设置的危险命令，仍然发送吗？
</source>
        <translation>These writes are danger commands that change the driver&apos;s settings. Send them anyway?
</translation>
    </message>
    <message>
        <source>文件没有记录它来自哪种驱动器（%1），无法与此驱动器比对。
仍然写入吗？</source>
        <translation>The file does not record which driver it came from (%1), so it cannot be checked against this driver.
Write it anyway?</translation>
    </message>
    <message>
        <source>文件：%1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>驱动器：%1</source>
        <translation>Driver: %1</translation>
    </message>
</context>
<context>
    <name>CoreWording</name>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>DriverCommands</name>
    <message>
        <source>发送命令</source>
        <translation>Send command</translation>
    </message>
    <message>
        <source>发送命令“%1”？</source>
        <translation>Send the command &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>线路正忙，命令“%1”未发送</source>
        <translation>The line is busy; the command &quot;%1&quot; was not sent</translation>
    </message>
    <message>
        <source>串口未打开，命令“%1”未发送</source>
        <translation>The port is not open; the command &quot;%1&quot; was not sent</translation>
    </message>
    <message>
        <source>命令“%1”已由驱动器确认</source>
        <translation>The command &quot;%1&quot; was confirmed by the driver</translation>
    </message>
    <message>
        <source>命令“%1”被拒绝（%2），未执行</source>
        <translation>The command &quot;%1&quot; was refused (%2); it was not carried out</translation>
    </message>
    <message>
        <source>命令“%1”未得到确认（%2），可能已执行</source>
        <translation>The command &quot;%1&quot; was not confirmed (%2); it may have been carried out</translation>
    </message>
    <message>
        <source>命令“%1”未得到确认：收到无人请求的应答（此地址可能有两台设备），可能已执行，也可能未执行</source>
        <translation>The command &quot;%1&quot; was not confirmed: a reply came that no request asked for (two devices at this address?); it may or may not have been carried out</translation>
    </message>
    <message>
        <source>命令“%1”未发送：串口已关闭</source>
        <translation>The command &quot;%1&quot; was not sent: the port closed</translation>
    </message>
    <message>
        <source>命令“%1”未发送：%2</source>
        <translation>The command &quot;%1&quot; was not sent: %2</translation>
    </message>
    <message>
        <source>%1
驱动器地址 %2，寄存器 %3 ← %4
将发送的帧：%5</source>
        <translation>%1
Driver address %2, register %3 ← %4
Frame to be sent: %5</translation>
    </message>
</context>
<context>
    <name>DriverWatchViews</name>
    <message>
        <source>报警历史…</source>
        <translation>Alarm history…</translation>
    </message>
</context>
<context>
    <name>GateQuestion</name>
    <message>
        <source>危险命令</source>
        <translation>Danger command</translation>
    </message>
    <message>
        <source>超出范围</source>
        <translation>Out of range</translation>
    </message>
    <message>
        <source>只写寄存器</source>
        <translation>Write-only register</translation>
    </message>
    <message>
        <source>驱动器身份寄存器</source>
        <translation>Register naming the driver</translation>
    </message>
    <message>
        <source>%1
仍然写入吗？</source>
        <translation>%1
Write it anyway?</translation>
    </message>
</context>
<context>
    <name>IdentityLine</name>
    <message>
        <source>已连接驱动器的型号、固件与序列号（从驱动器读取）</source>
        <translation>Model, firmware and serial number of the connected driver (read from the driver)</translation>
    </message>
</context>
<context>
    <name>LanguageMenu</name>
    <message>
        <source>语言(&amp;L)</source>
        <translation>&amp;Language</translation>
    </message>
</context>
<context>
    <name>LogPaneAction</name>
    <message>
        <source>通讯日志</source>
        <translation>Traffic log</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;选择连接设备的串口号。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;The serial port the device is connected to.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>刷新串口列表</source>
        <translation>Refresh the list of serial ports</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;与设备通信的波特率，默认为9600。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Baud rate for talking to the device; 9600 by default.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>设备地址：</source>
        <translation>Device address:</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;点击可打开/关闭串口。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Opens or closes the serial port.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>读取全部寄存器的值</source>
        <translation>Read the values of all registers</translation>
    </message>
    <message>
        <source>一次刷新结束后立即开始下一次</source>
        <translation>Start the next refresh as soon as one ends</translation>
    </message>
    <message>
        <source>连续刷新</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>连续刷新只读取曲线中的寄存器</source>
        <translation>Continuous refresh reads only the registers in the plot</translation>
    </message>
    <message>
        <source>仅曲线寄存器</source>
        <translation>Plotted only</translation>
    </message>
    <message>
        <source>地址(HEX)</source>
        <translation>Address (hex)</translation>
    </message>
    <message>
        <source>指示灯：蓝色 = 数值已变化；深灰 = 数值未变；红色 = 写入尚未确认；琥珀色 = 上次读取超时或被拒绝</source>
        <translation>Lamp: blue = value changed; dark grey = unchanged; red = write not yet confirmed; amber = the last read timed out or was refused</translation>
    </message>
    <message>
        <source>参考范围</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>权限</source>
        <translation>Access</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Remarks</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;勾选后，接收框内接收的数据将以HEX格式显示。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;When ticked, received data is shown in hexadecimal.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Hex显示</source>
        <translation>Show hex</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;勾选后，发送框内数据将转为HEX格式发送（注意输入数据格式）&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;When ticked, the send box is read as hexadecimal bytes (mind the input format).&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Hex发送</source>
        <translation>Send hex</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;点击发送框内数据。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Sends the contents of the send box.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>
录制已停止 : %1
</source>
        <translation>
Recording stopped: %1
</translation>
    </message>
    <message>
        <source>保存参数</source>
        <translation>Save parameters</translation>
    </message>
    <message>
        <source>载入参数</source>
        <translation>Load parameters</translation>
    </message>
    <message>
        <source>校验位，默认无校验。</source>
        <translation>Parity; none by default.</translation>
    </message>
    <message>
        <source>停止位，默认 1 位。</source>
        <translation>Stop bits; 1 by default.</translation>
    </message>
    <message>
        <source>在各波特率下询问各地址，找出总线上的设备。</source>
        <translation>Asks every address at every baud rate to find the devices on the bus.</translation>
    </message>
    <message>
        <source>扫描</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>读入另一个寄存器映射文件（也可把文件拖到窗口上）。</source>
        <translation>Loads another register map file (or drop a file on the window).</translation>
    </message>
    <message>
        <source>打开映射</source>
        <translation>Open map</translation>
    </message>
    <message>
        <source>参数文件 %1 无法使用，未比较也未写入任何参数。</source>
        <translation>The parameter file %1 cannot be used; nothing was compared or written.</translation>
    </message>
    <message>
        <source>读取全部 (F5)</source>
        <translation>Read all (F5)</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>驱动器所在的线路：串口，或经网关 / 网口的 TCP 连接</source>
        <translation>The line to the driver: a serial port, or a TCP connection to a gateway or a networked driver</translation>
    </message>
    <message>
        <source>IP 地址或主机名</source>
        <translation>IP or host name</translation>
    </message>
    <message>
        <source>TCP 端口（Modbus TCP 默认 502）</source>
        <translation>TCP port (Modbus TCP default 502)</translation>
    </message>
    <message>
        <source>端口 </source>
        <translation>Port </translation>
    </message>
</context>
<context>
    <name>ManualSendBox</name>
    <message>
        <source>
      串口未打开 !  
</source>
        <translation>
      The serial port is not open!  
</translation>
    </message>
    <message>
        <source>
未发送
</source>
        <translation>
Not sent
</translation>
    </message>
</context>
<context>
    <name>MapOpener</name>
    <message>
        <source>文件读取失败，请检查文件是否存在!</source>
        <translation>Could not read the file; please check that it exists!</translation>
    </message>
    <message>
        <source>%1 行无法识别，已跳过</source>
        <translation>%1 lines not understood, skipped</translation>
    </message>
    <message>
        <source>%1 行地址无效，不读不写</source>
        <translation>%1 lines with an invalid address, never read or written</translation>
    </message>
    <message>
        <source>%1 行的地址与前面的行重复</source>
        <translation>%1 lines repeat the address of an earlier line</translation>
    </message>
    <message>
        <source>%1 行的范围无法识别，不检查范围</source>
        <translation>%1 lines have a range that cannot be read; no range is checked</translation>
    </message>
    <message>
        <source>%1 行数值格式有误</source>
        <translation>%1 lines with a faulty value format</translation>
    </message>
    <message>
        <source>映射文件 %1：
%2
详见日志</source>
        <translation>Map file %1:
%2
See the log for details</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>打开映射</source>
        <translation>Open map</translation>
    </message>
    <message>
        <source>%1 行有无法识别的键（拼写或大小写有误？）</source>
        <translation>%1 lines with an unknown key (misspelt or in the wrong case?)</translation>
    </message>
</context>
<context>
    <name>MapProblemWording</name>
    <message>
        <source>slaveAddress“%1”不是 1 到 247 的地址；地址仍为 %2</source>
        <translation>slaveAddress &quot;%1&quot; is no address from 1 to 247; the address stays %2</translation>
    </message>
    <message>
        <source>txTime“%1”不是不小于 1 的整数毫秒；使用 %2</source>
        <translation>txTime &quot;%1&quot; is no whole number of milliseconds from 1 up; %2 is used</translation>
    </message>
    <message>
        <source>rxOutTime“%1”不是整数毫秒；使用 %2</source>
        <translation>rxOutTime &quot;%1&quot; is no whole number of milliseconds; %2 is used</translation>
    </message>
    <message>
        <source>blockRead“%1”不是 1 到 %2 的寄存器个数；每次读取 %3 个</source>
        <translation>blockRead &quot;%1&quot; is no number of registers from 1 to %2; %3 at a time are read</translation>
    </message>
    <message>
        <source>第 %1 行：地址“%2”不是 16 位数；此行不读不写</source>
        <translation>line %1: address &quot;%2&quot; is no 16-bit number; the row is neither read nor written</translation>
    </message>
    <message>
        <source>第 %1 行：地址 %2 已在第 %3 行；写入该地址的值按两行检查</source>
        <translation>line %1: address %2 is already on line %3; values written there are checked against both lines</translation>
    </message>
    <message>
        <source>第 %1 行：范围“%2”不是“最小~最大”形式的两个整数（前者不大于后者）；不检查范围</source>
        <translation>line %1: range &quot;%2&quot; is no min~max of two whole numbers, the first not above the second; no range is checked</translation>
    </message>
    <message>
        <source>另有 %1 个问题未列出</source>
        <translation>%1 more problems not listed</translation>
    </message>
    <message>
        <source>第 %1 行：%2；此设置未使用</source>
        <translation>line %1: %2; the setting is not used</translation>
    </message>
    <message>
        <source>第 %1 行：%2；此行不读不写</source>
        <translation>line %1: %2; the row is neither read nor written</translation>
    </message>
    <message>
        <source>第 %1 行：%2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>第 %1 行已跳过：不是寄存器（须有五个或更多字段，其中一个为 name）</source>
        <translation>line %1 skipped: no register (five fields or more, one of them name)</translation>
    </message>
    <message>
        <source>wordOrder“%1”既不是 hl 也不是 lh；没有自己的 wordOrder 的 32 位行不读不写</source>
        <translation>wordOrder &quot;%1&quot; is neither hl nor lh; 32-bit rows without their own wordOrder are neither read nor written</translation>
    </message>
    <message>
        <source>writeFunction“%1”既不是 6 也不是 16；写入使用功能码 6</source>
        <translation>writeFunction &quot;%1&quot; is neither 6 nor 16; writes use function 6</translation>
    </message>
    <message>
        <source>此 32 位行沿用的第 1 行 wordOrder 有误</source>
        <translation>line 1&apos;s wordOrder, which this 32-bit row takes, is faulty</translation>
    </message>
    <message>
        <source>0xFFFF 处的 32 位寄存器没有下一个地址；此行不读不写</source>
        <translation>a 32-bit register at 0xFFFF has no next address; the row is neither read nor written</translation>
    </message>
    <message>
        <source>32 位寄存器 0x%1 也占用 0x%2，而第 %3 行是该地址自己的一行；两行都不读不写</source>
        <translation>32-bit register 0x%1 also takes 0x%2, which line %3 has as a row of its own; neither row is read nor written</translation>
    </message>
    <message>
        <source>“%1”不是“数字=名称”</source>
        <translation>&quot;%1&quot; is no number=name pair</translation>
    </message>
    <message>
        <source>“%1”不是 %2 到 %3 的数字</source>
        <translation>&quot;%1&quot; is no number from %2 to %3</translation>
    </message>
    <message>
        <source>%1 被命名了两次</source>
        <translation>%1 is named twice</translation>
    </message>
    <message>
        <source>其中没有任何名称</source>
        <translation>it names nothing</translation>
    </message>
    <message>
        <source>enum“%1”格式有误：%2</source>
        <translation>enum &quot;%1&quot; is malformed: %2</translation>
    </message>
    <message>
        <source>bits“%1”格式有误：%2</source>
        <translation>bits &quot;%1&quot; is malformed: %2</translation>
    </message>
    <message>
        <source>范围“%1”不含任何值（最小值大于最大值）</source>
        <translation>range &quot;%1&quot; holds no value (its minimum is above its maximum)</translation>
    </message>
    <message>
        <source>范围“%1”超出 %2 寄存器能容纳的值（%3~%4）</source>
        <translation>range &quot;%1&quot; goes beyond what a %2 register holds (%3~%4)</translation>
    </message>
    <message>
        <source>type“%1”不是 u16、s16、u32、s32 之一</source>
        <translation>type &quot;%1&quot; is none of u16, s16, u32, s32</translation>
    </message>
    <message>
        <source>wordOrder“%1”既不是 hl 也不是 lh</source>
        <translation>wordOrder &quot;%1&quot; is neither hl nor lh</translation>
    </message>
    <message>
        <source>scale“%1”不是正数（如 0.1）</source>
        <translation>scale &quot;%1&quot; is no positive number (such as 0.1)</translation>
    </message>
    <message>
        <source>bits 为原始值的各位命名：不能同时有 enum 或 scale</source>
        <translation>bits name the bits of the raw value: no enum or scale beside them</translation>
    </message>
    <message>
        <source>role:%1 所在的行不可读</source>
        <translation>role:%1 is on a row that cannot be read</translation>
    </message>
    <message>
        <source>role:status 需要 alarmBit:N 指明此行的某一位</source>
        <translation>role:status needs alarmBit:N naming one of the row&apos;s bits</translation>
    </message>
    <message>
        <source>alarmBit 只能用在 role:status 的行上</source>
        <translation>alarmBit belongs on a role:status row</translation>
    </message>
    <message>
        <source>命令“%1”发送的内容与危险命令“%2”相同</source>
        <translation>command &quot;%1&quot; sends what the danger command &quot;%2&quot; sends</translation>
    </message>
    <message>
        <source>命令“%1”发送的内容与危险命令“%2”相同；同样须先勾选</source>
        <translation>command &quot;%1&quot; sends what the danger command &quot;%2&quot; sends; it is guarded alike</translation>
    </message>
    <message>
        <source>confirm 所在的行可读；命令只能放在只写的行上</source>
        <translation>confirm is on a row that can be read; commands go to write-only rows</translation>
    </message>
    <message>
        <source>confirm、danger 与 save 需要同一行有 command</source>
        <translation>confirm, danger and save need a command on the same line</translation>
    </message>
    <message>
        <source>command 所在的行可读；命令只能放在只写的行上</source>
        <translation>command is on a row that can be read; commands go to write-only rows</translation>
    </message>
    <message>
        <source>command 在 32 位行上；命令只占一个寄存器</source>
        <translation>command is on a 32-bit row; commands are one register</translation>
    </message>
    <message>
        <source>命令“%1”不是“名称=值”</source>
        <translation>command &quot;%1&quot; is no NAME=VALUE</translation>
    </message>
    <message>
        <source>命令“%1”：%2 超出寄存器的范围 %3</source>
        <translation>command &quot;%1&quot;: %2 is outside the register&apos;s range %3</translation>
    </message>
    <message>
        <source>命令“%1”重名</source>
        <translation>command &quot;%1&quot; is named twice</translation>
    </message>
    <message>
        <source>command 没有给出任何命令</source>
        <translation>command names no command</translation>
    </message>
    <message>
        <source>danger“%1”不是此行的命令</source>
        <translation>danger &quot;%1&quot; is no command of this line</translation>
    </message>
    <message>
        <source>danger 没有给出任何命令</source>
        <translation>danger names no command</translation>
    </message>
    <message>
        <source>save“%1”也是危险命令；保存时不需先勾选</source>
        <translation>save &quot;%1&quot; is also a danger command; the save goes without the tick</translation>
    </message>
    <message>
        <source>save“%1”不是此行的命令</source>
        <translation>save &quot;%1&quot; is no command of this line</translation>
    </message>
    <message>
        <source>寄存器 %1：又一个 %2 行；使用第一个</source>
        <translation>register %1: a second %2 row; the first one is used</translation>
    </message>
    <message>
        <source>寄存器 %1：命令“%2”已是另一行的命令；使用第一个</source>
        <translation>register %1: command &quot;%2&quot; is already a command of another row; the first one is used</translation>
    </message>
    <message>
        <source>寄存器 %1：又一个保存命令；使用第一个</source>
        <translation>register %1: a second save command; the first one is used</translation>
    </message>
    <message>
        <source>未知的键“%1”（是否应为“%2”？）</source>
        <translation>unknown key &apos;%1&apos; (did you mean &apos;%2&apos;?)</translation>
    </message>
    <message>
        <source>未知的键“%1”（已知的键：%2）</source>
        <translation>unknown key &apos;%1&apos; (known keys: %2)</translation>
    </message>
    <message>
        <source>第 %1 行：地址 %2 与第 %3 行的 %4 不同；按两行中最严格的一行处理</source>
        <translation>line %1: address %2 differs from line %3 in %4; the strictest of both lines holds</translation>
    </message>
    <message>
        <source>role“%1”不是 identity、serial、alarm、status、jog、target、position、speed、followingError、commTimeout、positionGain、speedGain、move、stop 之一</source>
        <translation>role &quot;%1&quot; is none of identity, serial, alarm, status, jog, target, position, speed, followingError, commTimeout, positionGain, speedGain, move, stop</translation>
    </message>
    <message>
        <source>role:%1 所在的行不可写</source>
        <translation>role:%1 is on a row that cannot be written</translation>
    </message>
    <message>
        <source>role:jog 须为有符号的行（type s16 或 s32）：0 停止，符号为方向</source>
        <translation>role:jog needs a signed row (type s16 or s32): 0 stops, the sign is the direction</translation>
    </message>
    <message>
        <source>role:commTimeout 须为 unit:ms 或 unit:s</source>
        <translation>role:commTimeout needs unit:ms or unit:s</translation>
    </message>
    <message>
        <source>role:%1 须在只有一个命令的命令行上</source>
        <translation>role:%1 needs a command line with exactly one command</translation>
    </message>
    <message>
        <source>role:%1 不能是危险命令</source>
        <translation>role:%1 cannot be a danger command</translation>
    </message>
</context>
<context>
    <name>MonitorDock</name>
    <message>
        <source>趋势图</source>
        <translation>Trend plot</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>显示范围</source>
        <translation>Span</translation>
    </message>
    <message>
        <source>录制…</source>
        <translation>Record…</translation>
    </message>
    <message>
        <source>未录制</source>
        <translation>Not recording</translation>
    </message>
    <message>
        <source>10 秒</source>
        <translation>10 s</translation>
    </message>
    <message>
        <source>60 秒</source>
        <translation>60 s</translation>
    </message>
    <message>
        <source>600 秒</source>
        <translation>600 s</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>录制失败：%1</source>
        <translation>Recording failed: %1</translation>
    </message>
    <message>
        <source>停止录制</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>录制中：%1</source>
        <translation>Recording: %1</translation>
    </message>
    <message>
        <source>已录制到：%1</source>
        <translation>Recorded to: %1</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>录制数值</source>
        <translation>Record values</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>录制已停止：%1</source>
        <translation>Recording stopped: %1</translation>
    </message>
    <message>
        <source>各自缩放</source>
        <translation>Own ranges</translation>
    </message>
    <message>
        <source>每条曲线按自身的最小到最大值缩放（0–100 %），不同大小的数值可以一起看出变化</source>
        <translation>Each curve scaled from its own lowest to highest value (0–100 %), so values of different sizes show their shape together</translation>
    </message>
    <message>
        <source>开始连续刷新</source>
        <translation>Start continuous refresh</translation>
    </message>
    <message>
        <source>还没有曲线：在寄存器表中选中行，右键选择“加入曲线”。</source>
        <translation>No curves yet: select rows in the register table and choose &quot;Add to plot&quot; from its context menu.</translation>
    </message>
    <message>
        <source>连续刷新未开启：曲线不会更新。</source>
        <translation>Continuous refresh is off: the curves do not update.</translation>
    </message>
    <message>
        <source>串口未打开：曲线不会更新。</source>
        <translation>The port is closed: the curves do not update.</translation>
    </message>
</context>
<context>
    <name>ParameterCompare</name>
    <message>
        <source>相同</source>
        <translation>same</translation>
    </message>
    <message>
        <source>不同</source>
        <translation>differs</translation>
    </message>
    <message>
        <source>不可写</source>
        <translation>not writable</translation>
    </message>
    <message>
        <source>不在映射表中</source>
        <translation>not in the map</translation>
    </message>
    <message>
        <source>超出范围</source>
        <translation>out of range</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>第 %1 行：%2 不在映射表中</source>
        <translation>line %1: %2 is not in the map</translation>
    </message>
    <message>
        <source>第 %1 行：%2 的%3</source>
        <translation>line %1: %2 %3</translation>
    </message>
    <message>
        <source>值 %1 不是 %2 类型的值</source>
        <translation>value %1 is no %2 value</translation>
    </message>
    <message>
        <source>类型 %1 与映射表的 %2 不符</source>
        <translation>was saved as %1, the map&apos;s row is %2</translation>
    </message>
    <message>
        <source>第 %1 行：%2 的值 %3 与第 %5 行的 %4 不同</source>
        <translation>line %1: %2 value %3 differs from %4 on line %5</translation>
    </message>
    <message>
        <source>行是 s32 类型：请给出 type 列，如本工具保存的文件</source>
        <translation>is an s32 row: give the type column, as the tool&apos;s own files do</translation>
    </message>
    <message>
        <source>行是 u32 类型：请给出 type 列，如本工具保存的文件</source>
        <translation>is a u32 row: give the type column, as the tool&apos;s own files do</translation>
    </message>
    <message>
        <source>%1 值 %2（范围 %3）</source>
        <translation>%1 value %2 (range %3)</translation>
    </message>
    <message>
        <source>只写，未读取</source>
        <translation>write-only, not read</translation>
    </message>
    <message>
        <source>值与显示不符：值 %1 即“%2”，shown 列为“%3”</source>
        <translation>value and shown disagree: value %1 is &quot;%2&quot;, shown says &quot;%3&quot;</translation>
    </message>
    <message>
        <source>值与显示不符</source>
        <translation>value and shown disagree</translation>
    </message>
    <message>
        <source>另一行给出不同的值</source>
        <translation>another line gives another value</translation>
    </message>
</context>
<context>
    <name>ParameterFile</name>
    <message>
        <source>值“%1”不是十进制数</source>
        <translation>value &apos;%1&apos; is not a decimal number</translation>
    </message>
    <message>
        <source>值 %1 超出 %2 类型的范围</source>
        <translation>value %1 is outside the range of type %2</translation>
    </message>
    <message>
        <source>类型“%1”不是 u16、s16、u32 或 s32</source>
        <translation>type &apos;%1&apos; is none of u16, s16, u32, s32</translation>
    </message>
    <message>
        <source>值 %1 超出 0..65535</source>
        <translation>value %1 is outside 0..65535</translation>
    </message>
    <message>
        <source>第 %1 行：%2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>没有标题行</source>
        <translation>no header line</translation>
    </message>
    <message>
        <source>标题行须有 address 和 value 两列</source>
        <translation>the header needs the columns address and value</translation>
    </message>
    <message>
        <source>地址“%1”不是寄存器地址</source>
        <translation>address &apos;%1&apos; is not a register address</translation>
    </message>
    <message>
        <source>引号只能括住整个字段</source>
        <translation>a quote may only enclose a whole field</translation>
    </message>
    <message>
        <source>引号在行尾之前没有闭合</source>
        <translation>a quote does not close before the end of the line</translation>
    </message>
    <message>
        <source>标题行有两个 %1 列</source>
        <translation>the header has two %1 columns</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>文件中没有寄存器值</source>
        <translation>the file holds no register value</translation>
    </message>
    <message>
        <source>第二个 identity 注释行</source>
        <translation>a second identity comment line</translation>
    </message>
    <message>
        <source>identity 注释行“%1”无法读取</source>
        <translation>identity comment line &quot;%1&quot; cannot be read</translation>
    </message>
    <message>
        <source>无法读取 %1：%2</source>
        <translation>cannot read %1: %2</translation>
    </message>
</context>
<context>
    <name>ParameterSetsPanel</name>
    <message>
        <source>载入参数</source>
        <translation>Load parameters</translation>
    </message>
    <message>
        <source>参数文件 (*.csv);;所有文件 (*)</source>
        <translation>Parameter files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>参数读写进行中，请稍候</source>
        <translation>Parameters are being read or written; please wait</translation>
    </message>
    <message>
        <source>驱动器无应答</source>
        <translation>The driver does not answer</translation>
    </message>
    <message>
        <source>地址 %1 无应答（询问两次，%2）：请检查地址、波特率与校验位、A/B 接线，或扫描总线</source>
        <translation>No answer at address %1 (asked twice, %2): check the address, the baud rate and parity, the A/B wiring, or scan the bus</translation>
    </message>
    <message>
        <source>保存参数</source>
        <translation>Save parameters</translation>
    </message>
    <message>
        <source>参数文件 (*.csv)</source>
        <translation>Parameter files (*.csv)</translation>
    </message>
    <message>
        <source>参数文件保存失败: </source>
        <translation>Could not save the parameter file: </translation>
    </message>
    <message>
        <source>已保存 %1 个参数到 %2</source>
        <translation>Saved %1 parameters to %2</translation>
    </message>
    <message>
        <source>；未读取，未保存: </source>
        <translation>; unread, not saved: </translation>
    </message>
    <message>
        <source>撤销文件保存失败，未写入任何参数: </source>
        <translation>Could not save the undo file; nothing was written: </translation>
    </message>
    <message>
        <source>读取驱动器参数未完成，未写入任何参数</source>
        <translation>Reading the driver did not finish; nothing was written</translation>
    </message>
    <message>
        <source>串口已关闭或已重新打开：请重新载入参数后再写入</source>
        <translation>The port was closed or opened again: load the parameters again before writing</translation>
    </message>
    <message>
        <source>驱动器的参数在比较后已变化：已重新比较，请确认后再写入</source>
        <translation>The driver&apos;s values changed since the comparison: compared again, confirm before writing</translation>
    </message>
    <message>
        <source>收到来自地址 %1 的无人请求的应答（另一主站，或此地址上的第二台设备？），读到的值均不可信</source>
        <translation>A reply from address %1 came that no request asked for (another master, or a second device at that address?): no value read is trusted</translation>
    </message>
    <message>
        <source>地址 %1 有应答，但都晚于应答等待时间（rxOutTime %2 ms，询问两次，%3）：网关或驱动器较慢，请加大映射表的 rxOutTime</source>
        <translation>Address %1 answered, but only after its reply wait (rxOutTime %2 ms, asked twice, %3): a slow gateway or driver; raise rxOutTime in the map</translation>
    </message>
</context>
<context>
    <name>PortPanel</name>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>  串口状态 : 未连接    </source>
        <translation>  Port: not connected    </translation>
    </message>
    <message>
        <source>  串口状态 : 已连接    </source>
        <translation>  Port: connected    </translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>主机：</source>
        <translation>Host:</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>请填写驱动器或网关的 IP 地址或主机名</source>
        <translation>Enter the IP address or host name of the driver or gateway</translation>
    </message>
    <message>
        <source>  连接状态 : 已连接 %1    </source>
        <translation>  Connection: connected to %1    </translation>
    </message>
    <message>
        <source>  连接状态 : 未连接    </source>
        <translation>  Connection: not connected    </translation>
    </message>
    <message>
        <source>断开连接</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>  连接状态 : 正在连接 %1 …    </source>
        <translation>  Connection: connecting to %1 …    </translation>
    </message>
</context>
<context>
    <name>PortSession</name>
    <message>
        <source>
串口 %1 打开失败：
%2
</source>
        <translation>
Could not open port %1:
%2
</translation>
    </message>
    <message>
        <source>串口 %1 已断开：%2</source>
        <translation>Port %1 disconnected: %2</translation>
    </message>
    <message>
        <source>
串口未打开 !
</source>
        <translation>
The serial port is not open!
</translation>
    </message>
    <message>
        <source>
此寄存器已不在映射表中 !
</source>
        <translation>
This register is no longer in the map!
</translation>
    </message>
    <message>
        <source>
站地址已改变，请重新打开编辑窗口 !
</source>
        <translation>
The slave address has changed: open the editor again!
</translation>
    </message>
    <message>
        <source>
设备地址无效 !
设备地址须为 1–247（0 为广播）
</source>
        <translation>
Invalid device address!
The device address must be 1–247 (0 is broadcast)
</translation>
    </message>
    <message>
        <source>
无法连接 %1：
%2
</source>
        <translation>
Cannot connect to %1:
%2
</translation>
    </message>
    <message>
        <source>连接 %1 已断开：%2</source>
        <translation>The connection to %1 was lost: %2</translation>
    </message>
    <message>
        <source>
未写入
</source>
        <translation>
Not written
</translation>
    </message>
</context>
<context>
    <name>ProblemList</name>
    <message>
        <source>问题</source>
        <translation>Problems</translation>
    </message>
    <message>
        <source>……另有 %1 个问题，见详细信息</source>
        <translation>... and %1 more problems; see the details</translation>
    </message>
</context>
<context>
    <name>RegisterTableView</name>
    <message>
        <source>
寄存器地址 %1 无效 !
</source>
        <translation>
Register address %1 is invalid!
</translation>
    </message>
    <message>
        <source>
串口未打开 !
</source>
        <translation>
The serial port is not open!
</translation>
    </message>
    <message>
        <source>
此寄存器无写入权限 !
</source>
        <translation>
This register cannot be written!
</translation>
    </message>
    <message>
        <source>移出曲线</source>
        <translation>Remove from plot</translation>
    </message>
    <message>
        <source>加入曲线</source>
        <translation>Add to plot</translation>
    </message>
    <message>
        <source>已写入 %1（%2）</source>
        <translation>written %1 at %2</translation>
    </message>
</context>
<context>
    <name>RequestReasonWording</name>
    <message>
        <source>无有效应答</source>
        <translation>no valid reply</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>已回显，未读回</source>
        <translation>echoed, not read back</translation>
    </message>
    <message>
        <source>已回显；读回：%1</source>
        <translation>echoed; read back: %1</translation>
    </message>
    <message>
        <source>驱动器不支持功能码 16（写多个寄存器）：%1</source>
        <translation>the driver does not take function 16 (write multiple registers): %1</translation>
    </message>
    <message>
        <source>Modbus 异常 %1：%2</source>
        <translation>Modbus exception %1: %2</translation>
    </message>
    <message>
        <source>未知异常</source>
        <translation>unknown exception</translation>
    </message>
    <message>
        <source>非法功能码</source>
        <translation>illegal function</translation>
    </message>
    <message>
        <source>非法数据地址</source>
        <translation>illegal data address</translation>
    </message>
    <message>
        <source>非法数据值</source>
        <translation>illegal data value</translation>
    </message>
    <message>
        <source>从站设备故障</source>
        <translation>server device failure</translation>
    </message>
    <message>
        <source>已确认，正在处理</source>
        <translation>acknowledge</translation>
    </message>
    <message>
        <source>从站设备忙</source>
        <translation>server device busy</translation>
    </message>
    <message>
        <source>存储奇偶校验错误</source>
        <translation>memory parity error</translation>
    </message>
    <message>
        <source>网关路径不可用</source>
        <translation>gateway path unavailable</translation>
    </message>
    <message>
        <source>网关目标设备无响应</source>
        <translation>gateway target device failed to respond</translation>
    </message>
    <message>
        <source>已暂缓发送：此前收到了不属于任何请求的应答</source>
        <translation>held back: a reply that fits no request came first</translation>
    </message>
    <message>
        <source>%1 不在映射表中</source>
        <translation>%1 is not in the map</translation>
    </message>
    <message>
        <source>%1 标识驱动器（身份或序列号）：从不写入</source>
        <translation>%1 names the driver (identity or serial number): it is never written</translation>
    </message>
    <message>
        <source>%1 标识驱动器（身份或序列号）</source>
        <translation>%1 names the driver (identity or serial number)</translation>
    </message>
    <message>
        <source>%1 为只读</source>
        <translation>%1 is read-only</translation>
    </message>
    <message>
        <source>%1 为只写（命令寄存器）</source>
        <translation>%1 is write-only (a command register)</translation>
    </message>
    <message>
        <source>%1：%2 是危险命令“%3”，从不作为保存命令发送</source>
        <translation>%1: %2 is the danger command &quot;%3&quot;, never sent as the save</translation>
    </message>
    <message>
        <source>%1：%2 是危险命令“%3”</source>
        <translation>%1: %2 is the danger command &quot;%3&quot;</translation>
    </message>
    <message>
        <source>%1：%2 超出映射表的范围 %3</source>
        <translation>%1: %2 is outside the map&apos;s range %3</translation>
    </message>
    <message>
        <source>本次运行中收到了不属于任何请求的应答：不再写入</source>
        <translation>a reply that fits no request came since the run began: nothing more is written</translation>
    </message>
</context>
<context>
    <name>SaveBeforeLeave</name>
    <message>
        <source>保存到驱动器</source>
        <translation>Save to the driver</translation>
    </message>
    <message>
        <source>本次连接写入驱动器（地址 %1）的参数尚未存入其非易失存储器，断电后将丢失。
先发送“%2”保存吗？</source>
        <translation>Values written to the driver (address %1) in this session are not yet in its non-volatile memory and are lost at power-off.
Send &quot;%2&quot; first to save them?</translation>
    </message>
    <message>
        <source>是：保存，确认后再关闭；否：不保存，直接关闭；取消：不关闭</source>
        <translation>Yes: save, and close once confirmed; No: close without saving; Cancel: do not close</translation>
    </message>
    <message>
        <source>保存未得到确认，串口保持打开：请检查驱动器后重试</source>
        <translation>The save was not confirmed, so the port stays open: check the driver and try again</translation>
    </message>
    <message>
        <source>保存未得到确认</source>
        <translation>The save was not confirmed</translation>
    </message>
</context>
<context>
    <name>ScanDialog</name>
    <message>
        <source>扫描总线</source>
        <translation>Scan the bus</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rates:</translation>
    </message>
    <message>
        <source>校验/停止位：</source>
        <translation>Parity/stop bits:</translation>
    </message>
    <message>
        <source>地址范围：</source>
        <translation>Addresses:</translation>
    </message>
    <message>
        <source>至</source>
        <translation>to</translation>
    </message>
    <message>
        <source>应答超时：</source>
        <translation>Reply timeout:</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>使用</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>请填写串口号，至少选一个波特率，地址范围由小到大</source>
        <translation>Give a port, at least one baud rate, and an address range from low to high</translation>
    </message>
    <message>
        <source>串口打开失败：</source>
        <translation>Could not open the port: </translation>
    </message>
    <message>
        <source>地址 %1，%2 波特</source>
        <translation>Address %1, %2 baud</translation>
    </message>
    <message>
        <source>扫描中断：</source>
        <translation>Scan interrupted: </translation>
    </message>
    <message>
        <source>扫描已取消</source>
        <translation>Scan cancelled</translation>
    </message>
    <message>
        <source>没有设备应答</source>
        <translation>No device answered</translation>
    </message>
    <message>
        <source>主机：</source>
        <translation>Host:</translation>
    </message>
    <message>
        <source>单元 %1</source>
        <translation>Unit id %1</translation>
    </message>
    <message>
        <source>地址 %1</source>
        <translation>Address %1</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>扫描完成。询问的地址：%1；应答：%2</source>
        <translation>Scan finished. Addresses asked: %1; answered: %2</translation>
    </message>
</context>
<context>
    <name>ScanRun</name>
    <message>
        <source>串口已断开：</source>
        <translation>the port went away: </translation>
    </message>
    <message>
        <source>扫描已在进行中</source>
        <translation>a scan is already running</translation>
    </message>
    <message>
        <source>无法打开 %1：%2</source>
        <translation>cannot open %1: %2</translation>
    </message>
</context>
<context>
    <name>Serial</name>
    <message>
        <source>（请把用户加入 dialout 组，然后重新登录）</source>
        <translation> (add the user to the dialout group, then log in again)</translation>
    </message>
    <message>
        <source>串口被其他程序占用（进程 %1，%2），请先关闭该程序</source>
        <translation>in use by another program (pid %1, %2); close it and try again</translation>
    </message>
    <message>
        <source>名称未知</source>
        <translation>name unknown</translation>
    </message>
    <message>
        <source>串口被其他程序占用，请先关闭该程序</source>
        <translation>in use by another program; close it and try again</translation>
    </message>
    <message>
        <source>锁文件 %1 未指向正在运行的程序；若无程序使用此串口，请删除该文件</source>
        <translation>locked by %1, which names no running program; remove that file if nothing uses the port</translation>
    </message>
    <message>
        <source>%1 ms 内无应答</source>
        <translation>no answer within %1 ms</translation>
    </message>
</context>
<context>
    <name>StatisticsLabel</name>
    <message>
        <source>统计清零</source>
        <translation>Reset statistics</translation>
    </message>
    <message>
        <source>请求、有效应答、超时、CRC错误与无效应答（不属于任何请求或与请求不符）的次数，以及最近一次往返时间；右键清零</source>
        <translation>Requests, valid replies, timeouts, CRC errors and invalid replies (answering no request or not fitting it), and the last round trip; right-click to reset</translation>
    </message>
    <message>
        <source>  请求 : %1  应答 : %2  超时 : %3  CRC错误 : %4  无效 : %5  往返 : %6 ms  </source>
        <translation>  Requests: %1  Replies: %2  Timeouts: %3  CRC errors: %4  Invalid: %5  Round trip: %6 ms  </translation>
    </message>
</context>
<context>
    <name>StatusCounts</name>
    <message>
        <source>    数据刷新次数 : %1    </source>
        <translation>    Refreshes: %1    </translation>
    </message>
</context>
<context>
    <name>TestRunDock</name>
    <message>
        <source>每次打开串口后，第一次运动前须确认</source>
        <translation>Confirm before the first move each time the port opens</translation>
    </message>
    <message>
        <source>机器周围已清空，可以运动</source>
        <translation>The machine is clear to move</translation>
    </message>
    <message>
        <source>驱动器的通讯超时为 0（关闭）或超过 2 秒时，工具失控后驱动器不会及时自行停机</source>
        <translation>With a comm timeout of 0 (off) or over 2 s, the driver does not stop by itself in time when the tool loses control</translation>
    </message>
    <message>
        <source>接受关闭或超过 2 秒的通讯超时</source>
        <translation>Accept a comm timeout that is off or over 2 s</translation>
    </message>
    <message>
        <source>点动（按住运行）</source>
        <translation>Jog (runs while held)</translation>
    </message>
    <message>
        <source>−</source>
        <translation>−</translation>
    </message>
    <message>
        <source>点动速度</source>
        <translation>Jog speed</translation>
    </message>
    <message>
        <source>+</source>
        <translation>+</translation>
    </message>
    <message>
        <source>移动</source>
        <translation>Move</translation>
    </message>
    <message>
        <source>绝对位置</source>
        <translation>Absolute position</translation>
    </message>
    <message>
        <source>相对距离</source>
        <translation>Relative distance</translation>
    </message>
    <message>
        <source>往返</source>
        <translation>Back and forth</translation>
    </message>
    <message>
        <source>开始移动</source>
        <translation>Start move</translation>
    </message>
    <message>
        <source>往返次数</source>
        <translation>Times</translation>
    </message>
    <message>
        <source>停留时间</source>
        <translation>Dwell</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>停止 (Esc / 空格)</source>
        <translation>Stop (Esc / Space)</translation>
    </message>
    <message>
        <source>试运行</source>
        <translation>Test run</translation>
    </message>
    <message>
        <source>试运行：%1</source>
        <translation>Test run: %1</translation>
    </message>
    <message>
        <source>映射文件未描述点动或移动（role:jog、role:target 等）。</source>
        <translation>The map describes no jog or move (role:jog, role:target, ...).</translation>
    </message>
    <message>
        <source>串口未打开。</source>
        <translation>The port is not open.</translation>
    </message>
    <message>
        <source>确认机器周围已清空后才能运动。</source>
        <translation>Confirm that the machine is clear before moving.</translation>
    </message>
    <message>
        <source>运动中…</source>
        <translation>Moving…</translation>
    </message>
    <message>
        <source>映射文件没有通讯超时行（role:commTimeout）：工具失控时驱动器不会自行停机。勾选“接受关闭或超过 2 秒的通讯超时”后才能运动。</source>
        <translation>The map has no comm timeout row (role:commTimeout): the driver would not stop by itself if the tool lost control. Tick “Accept a comm timeout that is off or over 2 s” to move.</translation>
    </message>
    <message>
        <source>%1 读数为 %2（0 为关闭，上限 2 秒）：工具失控时驱动器不会及时自行停机。勾选“接受关闭或超过 2 秒的通讯超时”后才能运动。</source>
        <translation>%1 reads %2 (0 is off; at most 2 s): the driver would not stop by itself in time if the tool lost control. Tick “Accept a comm timeout that is off or over 2 s” to move.</translation>
    </message>
</context>
<context>
    <name>TrafficLogView</name>
    <message>
        <source>驱动器拒绝功能码 16（写多个寄存器）：地址 0x%1 未写入（%2）。不会改用单个写入。</source>
        <translation>The driver refused function 16 (write multiple registers): nothing was written at 0x%1 (%2). The tool does not fall back to single writes.</translation>
    </message>
    <message>
        <source>导出文件</source>
        <translation>Export file</translation>
    </message>
    <message>
        <source>
文件写入失败 : %1 !
</source>
        <translation>
Could not write the file: %1!
</translation>
    </message>
    <message>
        <source>清空显示</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>停止显示</source>
        <translation>Stop display</translation>
    </message>
    <message>
        <source>启动显示</source>
        <translation>Start display</translation>
    </message>
    <message>
        <source>导出内容</source>
        <translation>Export…</translation>
    </message>
</context>
<context>
    <name>TrendPlot</name>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1: —</source>
        <translation>%1: —</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>值 [%1]</source>
        <translation>Value [%1]</translation>
    </message>
    <message>
        <source>各曲线自身范围 (%)</source>
        <translation>Each curve&apos;s own range (%)</translation>
    </message>
    <message>
        <source>范围 %</source>
        <translation>Range %</translation>
    </message>
</context>
<context>
    <name>ValueEditWin</name>
    <message>
        <source>状    态:</source>
        <translation>State:</translation>
    </message>
    <message>
        <source>位</source>
        <translation>Bits</translation>
    </message>
    <message>
        <source>参考范围:</source>
        <translation>Range:</translation>
    </message>
    <message>
        <source>索    引:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>十 进 制:</source>
        <translation>Decimal:</translation>
    </message>
    <message>
        <source>十六进制:</source>
        <translation>Hex:</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>数值 %1 超出范围 %2，确定写入吗？</source>
        <translation>The value %1 is outside the range %2. Write it anyway?</translation>
    </message>
    <message>
        <source>超出范围</source>
        <translation>Out of range</translation>
    </message>
    <message>
        <source>须为 %1 的整数倍</source>
        <translation>must be a multiple of %1</translation>
    </message>
    <message>
        <source>超出类型范围 %1 … %2</source>
        <translation>outside the type&apos;s range %1 … %2</translation>
    </message>
    <message>
        <source>请输入数值</source>
        <translation>enter a value</translation>
    </message>
    <message>
        <source>不是数值</source>
        <translation>not a number</translation>
    </message>
    <message>
        <source>不是数值，也不是状态或位的名称</source>
        <translation>not a number, nor a state or bit name</translation>
    </message>
    <message>
        <source>须为 0 … 65535 的整数</source>
        <translation>Must be a whole number 0 … 65535</translation>
    </message>
</context>
<context>
    <name>WindowMenus</name>
    <message>
        <source>视图(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>关于(&amp;A)…</source>
        <translation>&amp;About…</translation>
    </message>
    <message>
        <source>开闭环步进驱动器-上位机调试软件 v%1</source>
        <translation>Open/Closed-Loop Stepper Driver - Debugging Tool v%1</translation>
    </message>
</context>
<context>
    <name>WindowShortcuts</name>
    <message>
        <source>打开或关闭串口 (Ctrl+K)</source>
        <translation>Open or close the port (Ctrl+K)</translation>
    </message>
</context>
</TS>
