<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AtomicSave</name>
    <message>
        <source>the folder %1 does not exist</source>
        <translation>文件夹 %1 不存在</translation>
    </message>
    <message>
        <source>no file name was given</source>
        <translation>未给出文件名</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>这是一个文件夹</translation>
    </message>
</context>
<context>
    <name>BudgetDialog</name>
    <message>
        <source>Uncertainty budget</source>
        <translation>不确定度分量表</translation>
    </message>
    <message>
        <source>Component</source>
        <translation>分量</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>数值</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>单位</translation>
    </message>
    <message>
        <source>Distribution</source>
        <translation>分布</translation>
    </message>
    <message>
        <source>k</source>
        <translation>k</translation>
    </message>
    <message>
        <source>Degrees of freedom</source>
        <translation>自由度</translation>
    </message>
    <message>
        <source>A normal component is stated as its expanded uncertainty with its k; the others by their half-width. Empty degrees of freedom are infinite. The reference field&apos;s U and the run&apos;s repeatability come with each run.</source>
        <translation>正态分量按其扩展不确定度及 k 填写，其他分布按半宽度填写。自由度留空即为无穷大。参考辐射场的 U 与测量重复性随每次测量给出。</translation>
    </message>
    <message>
        <source>Add component</source>
        <translation>添加分量</translation>
    </message>
    <message>
        <source>Remove component</source>
        <translation>删除分量</translation>
    </message>
    <message>
        <source>% of true value</source>
        <translation>真值的 %</translation>
    </message>
    <message>
        <source>uSv/h</source>
        <translation>uSv/h</translation>
    </message>
    <message>
        <source>Reference U, with each run</source>
        <translation>参考源 U，随每次测量给出</translation>
    </message>
    <message>
        <source>s/√n of each run</source>
        <translation>每次测量的 s/√n</translation>
    </message>
    <message>
        <source>new component</source>
        <translation>新分量</translation>
    </message>
    <message>
        <source>Every component needs a name, and the marked cells a number in their range.</source>
        <translation>每个分量都需要名称，标出的单元格需要填写范围内的数值。</translation>
    </message>
</context>
<context>
    <name>CalibrationBook</name>
    <message>
        <source>Node %1: no calibration open</source>
        <translation>节点 %1：没有进行中的校准</translation>
    </message>
    <message>
        <source>as found in range %1</source>
        <translation>量程 %1 调整前</translation>
    </message>
    <message>
        <source>as left in range %1</source>
        <translation>量程 %1 调整后</translation>
    </message>
    <message>
        <source>Node %1, points so far: %2</source>
        <translation>节点 %1，已记录的校准点：%2</translation>
    </message>
    <message>
        <source>Coefficient out of range</source>
        <translation>校准系数超出范围</translation>
    </message>
    <message>
        <source>Range %1: the computed coefficient %2 lies outside 0.0001 to 5. The field holds %3, and Set would write that to node %4.</source>
        <translation>量程 %1：计算得到的校准系数 %2 超出 0.0001 至 5 的范围。输入框中为 %3，按“设置”将把该值写入节点 %4。</translation>
    </message>
    <message>
        <source>Coefficients not taken</source>
        <translation>校准系数未被接受</translation>
    </message>
    <message>
        <source>Node %1 holds %2 after %3 were written.</source>
        <translation>写入 %3 后，节点 %1 回读的校准系数为 %2。</translation>
    </message>
    <message>
        <source>Calibration not recorded</source>
        <translation>校准未能记录</translation>
    </message>
    <message>
        <source>The calibration of node %1 could not be recorded: %2. It stays open: press Finish again once the record store can be written.</source>
        <translation>节点 %1 的校准未能记录：%2。该校准仍保持进行中：待记录库可以写入后，请再次按“完成校准”。</translation>
    </message>
</context>
<context>
    <name>CalibrationFigures</name>
    <message>
        <source>|e| + U ≤ %1 %</source>
        <translation>|e| + U ≤ %1 %</translation>
    </message>
    <message>
        <source>|e| ≤ %1 %</source>
        <translation>|e| ≤ %1 %</translation>
    </message>
    <message>
        <source>|e| − U &gt; %1 %</source>
        <translation>|e| − U &gt; %1 %</translation>
    </message>
    <message>
        <source>|e| &gt; %1 %</source>
        <translation>|e| &gt; %1 %</translation>
    </message>
    <message>
        <source>|e| − U ≤ %1 % &lt; |e| + U</source>
        <translation>|e| − U ≤ %1 % &lt; |e| + U</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>INCONCLUSIVE</source>
        <translation>无法判定</translation>
    </message>
    <message>
        <source>not distinguishable from background: the net mean %1 uSv/h does not exceed the decision threshold %2 uSv/h</source>
        <translation>与本底无法区分：净平均值 %1 uSv/h 未超过判断阈 %2 uSv/h</translation>
    </message>
    <message>
        <source>readings scatter %1 times what counting allows (index of dispersion %2, %3 degrees of freedom)</source>
        <translation>读数的离散为计数统计允许值的 %1 倍（离散指数 %2，自由度 %3）</translation>
    </message>
    <message>
        <source>probability that the true error lies within ±%1 %: %2 % (U(e) %3 &gt; %1/3)</source>
        <translation>真实误差落在 ±%1 % 以内的概率：%2 %（U(e) %3 &gt; %1/3）</translation>
    </message>
    <message>
        <source>U(e) %1 is not smaller than the tolerance ±%2 %: a PASS or FAIL under simple acceptance is little better than a guess</source>
        <translation>U(e) %1 不小于允差 ±%2 %：简单接受下的合格或不合格判定几乎等同于猜测</translation>
    </message>
    <message>
        <source>the true value %1 uSv/h lies below the detection limit %2 uSv/h of %3 readings on a background of %4 uSv/h: the run cannot tell it from background</source>
        <translation>真值 %1 uSv/h 低于 %3 次读数在本底 %4 uSv/h 下的探测限 %2 uSv/h：本次测量无法将其与本底区分</translation>
    </message>
</context>
<context>
    <name>CalibrationProcedure</name>
    <message>
        <source>Item</source>
        <translation>被校仪器</translation>
    </message>
    <message>
        <source>Reference field</source>
        <translation>参考辐射场</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>本底</translation>
    </message>
    <message>
        <source>As found</source>
        <translation>调整前</translation>
    </message>
    <message>
        <source>Adjust</source>
        <translation>调整</translation>
    </message>
    <message>
        <source>As left</source>
        <translation>调整后</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>已完成</translation>
    </message>
    <message>
        <source>Choose the node.</source>
        <translation>请选择节点。</translation>
    </message>
    <message>
        <source>The serial number is required.</source>
        <translation>出厂编号为必填项。</translation>
    </message>
    <message>
        <source>The register already holds serial %1: confirm that it is the same item.</source>
        <translation>台账中已有出厂编号 %1：请确认是同一台仪器。</translation>
    </message>
    <message>
        <source>Give 1 to 3 points, each with a true value inside its own range.</source>
        <translation>请给出 1 至 3 个校准点，每个点的真值须在其所属量程内。</translation>
    </message>
    <message>
        <source>Measure or type the background.</source>
        <translation>请测量或输入本底。</translation>
    </message>
    <message>
        <source>Point %1 is being measured.</source>
        <translation>正在测量第 %1 点。</translation>
    </message>
    <message>
        <source>Point %1 is not measured yet.</source>
        <translation>第 %1 点尚未测量。</translation>
    </message>
    <message>
        <source>The record is not written yet.</source>
        <translation>记录尚未写入。</translation>
    </message>
    <message>
        <source>Next: set the field to %1 μSv/h (range %2) and measure point %3.</source>
        <translation>下一步：将辐射场调至 %1 μSv/h（量程 %2），测量第 %3 点。</translation>
    </message>
    <message>
        <source>Next: the reference field of each point.</source>
        <translation>下一步：各校准点的参考辐射场。</translation>
    </message>
    <message>
        <source>Next: the background, with the source shielded.</source>
        <translation>下一步：屏蔽辐射源，测量本底。</translation>
    </message>
    <message>
        <source>Next: as found, point 1.</source>
        <translation>下一步：调整前测量，第 1 点。</translation>
    </message>
    <message>
        <source>Next: every point passes; adjust, or skip to finish.</source>
        <translation>下一步：各点均合格；可调整，或跳过直接完成。</translation>
    </message>
    <message>
        <source>Next: adjust the node&apos;s coefficients.</source>
        <translation>下一步：调整节点的校准系数。</translation>
    </message>
    <message>
        <source>Next: finish.</source>
        <translation>下一步：完成。</translation>
    </message>
    <message>
        <source>Next: as left, point 1.</source>
        <translation>下一步：调整后测量，第 1 点。</translation>
    </message>
    <message>
        <source>Next: finish; the record and the certificate.</source>
        <translation>下一步：完成；生成记录与证书。</translation>
    </message>
    <message>
        <source>Next: the next node.</source>
        <translation>下一步：下一个节点。</translation>
    </message>
    <message>
        <source>Node %1 holds %2 after %3 were written: Set again.</source>
        <translation>写入 %3 后节点 %1 的系数为 %2：请再次设置。</translation>
    </message>
    <message>
        <source>Waiting for the node&apos;s confirmation and read-back.</source>
        <translation>正在等待节点确认与回读。</translation>
    </message>
    <message>
        <source>Calc and Set are still to come.</source>
        <translation>尚需计算与设置。</translation>
    </message>
    <message>
        <source>Next: as found, point 1, in the same reference field and background as the last node.</source>
        <translation>下一步：调整前测量，第 1 点，沿用上一节点的参考辐射场与本底。</translation>
    </message>
    <message>
        <source>Next, once point %1 is taken: set the field to %2 μSv/h (range %3) and measure point %4.</source>
        <translation>第 %1 点测完后的下一步：将辐射场设为 %2 μSv/h（量程 %3），测量第 %4 点。</translation>
    </message>
</context>
<context>
    <name>CalibrationRegister</name>
    <message>
        <source>never calibrated</source>
        <translation>从未校准</translation>
    </message>
    <message>
        <source>overdue</source>
        <translation>已超期</translation>
    </message>
    <message>
        <source>due today</source>
        <translation>今日到期</translation>
    </message>
    <message>
        <source>due in 1 day</source>
        <translation>1 天后到期</translation>
    </message>
    <message>
        <source>due in %1 days</source>
        <translation>%1 天后到期</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>出厂编号</translation>
    </message>
    <message>
        <source>Last calibration</source>
        <translation>上次校准</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>结论</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>到期日</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>failed — not fit for use</source>
        <translation>不合格——不得使用</translation>
    </message>
    <message>
        <source>awaiting approval</source>
        <translation>待批准</translation>
    </message>
    <message>
        <source>rejected — no certificate</source>
        <translation>已驳回——不签发证书</translation>
    </message>
</context>
<context>
    <name>CertificateWriter</name>
    <message>
        <source>the record store is not open: %1</source>
        <translation>记录库未打开：%1</translation>
    </message>
    <message>
        <source>the records do not verify: %1</source>
        <translation>记录校验未通过：%1</translation>
    </message>
    <message>
        <source>record %1 is no calibration</source>
        <translation>记录 %1 不是校准记录</translation>
    </message>
    <message>
        <source>cannot create the folder %1</source>
        <translation>无法创建文件夹 %1</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>The controller&apos;s address or host name.</source>
        <translation>控制器的 IP 地址或主机名。</translation>
    </message>
    <message>
        <source>The controller&apos;s TCP port, 1 to 65535.</source>
        <translation>控制器的 TCP 端口，1 至 65535。</translation>
    </message>
    <message>
        <source>Connect to the controller as soon as the window is up.</source>
        <translation>窗口打开后立即连接控制器。</translation>
    </message>
    <message>
        <source>The console&apos;s language, zh_CN (Chinese) or en (English); else the system&apos;s.</source>
        <translation>控制台的语言：zh_CN（中文）或 en（英文）；未指定时跟随系统。</translation>
    </message>
    <message>
        <source>Check that no record was changed or removed, and exit.</source>
        <translation>检查有无记录被修改或删除，然后退出。</translation>
    </message>
    <message>
        <source>Write every record to FILE as CSV, and exit.</source>
        <translation>将全部记录以 CSV 格式写入 FILE，然后退出。</translation>
    </message>
    <message>
        <source>Qt&apos;s platform plugin, e.g. xcb, wayland or offscreen.</source>
        <translation>Qt 平台插件，如 xcb、wayland 或 offscreen。</translation>
    </message>
    <message>
        <source>A folder to load platform plugins from.</source>
        <translation>加载平台插件的文件夹。</translation>
    </message>
    <message>
        <source>The platform theme.</source>
        <translation>平台主题。</translation>
    </message>
    <message>
        <source>An input plugin to load as well.</source>
        <translation>另外加载的输入插件。</translation>
    </message>
    <message>
        <source>The window&apos;s geometry, e.g. 1280x720+0+0.</source>
        <translation>窗口的大小和位置，如 1280x720+0+0。</translation>
    </message>
    <message>
        <source>The window&apos;s icon.</source>
        <translation>窗口图标。</translation>
    </message>
    <message>
        <source>The window&apos;s title.</source>
        <translation>窗口标题。</translation>
    </message>
    <message>
        <source>Lays the window out right to left.</source>
        <translation>窗口按从右到左布局。</translation>
    </message>
    <message>
        <source>Restores the session of this name.</source>
        <translation>恢复此名称的会话。</translation>
    </message>
    <message>
        <source>The X display to use (X11).</source>
        <translation>使用的 X 显示（X11）。</translation>
    </message>
    <message>
        <source>As -qwindowgeometry (X11).</source>
        <translation>同 -qwindowgeometry（X11）。</translation>
    </message>
    <message>
        <source>The widget style, e.g. fusion.</source>
        <translation>控件样式，如 fusion。</translation>
    </message>
    <message>
        <source>A style sheet file.</source>
        <translation>样式表文件。</translation>
    </message>
    <message>
        <source>Counts the widgets left at exit.</source>
        <translation>退出时统计未释放的控件。</translation>
    </message>
    <message>
        <source>Starts the QML debugger.</source>
        <translation>启动 QML 调试器。</translation>
    </message>
    <message>
        <source>Native dialogs or Qt&apos;s own (Windows).</source>
        <translation>使用系统对话框或 Qt 自带对话框（Windows）。</translation>
    </message>
    <message>
        <source>FreeType instead of the native font engine (Windows).</source>
        <translation>用 FreeType 代替系统字体引擎（Windows）。</translation>
    </message>
    <message>
        <source>Console for networked radiation dose-rate monitors.</source>
        <translation>联网辐射剂量率监测仪控制台。</translation>
    </message>
    <message>
        <source>The language must be zh_CN or en, not &apos;%1&apos;.</source>
        <translation>语言必须是 zh_CN 或 en，不能是“%1”。</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>多余的参数“%1”。</translation>
    </message>
    <message>
        <source>The port must be a whole number from 1 to 65535, not &apos;%1&apos;.</source>
        <translation>端口必须是 1 至 65535 之间的整数，不能是“%1”。</translation>
    </message>
    <message>
        <source>Try &apos;%1 --help&apos;.</source>
        <translation>请使用“%1 --help”查看帮助。</translation>
    </message>
    <message>
        <source>Write the register of calibrations to FILE as CSV, and exit.</source>
        <translation>将校准台账以 CSV 格式写入 FILE，然后退出。</translation>
    </message>
    <message>
        <source>Let an export replace a file that exists (never the records&apos; own).</source>
        <translation>允许导出覆盖已存在的文件（记录库自身的文件除外）。</translation>
    </message>
    <message>
        <source>Accept, as NAME, that rows are missing from the records&apos; end, so that they are kept again.</source>
        <translation>以 NAME 的名义确认记录末尾缺失的行，使记录得以继续保存。</translation>
    </message>
    <message>
        <source>--accept-loss needs the name of whoever accepts the loss.</source>
        <translation>--accept-loss 需要确认缺失者的姓名。</translation>
    </message>
    <message>
        <source>No display to open the window on: DISPLAY and WAYLAND_DISPLAY are not set (-platform offscreen needs none).</source>
        <translation>没有可以打开窗口的显示：DISPLAY 和 WAYLAND_DISPLAY 均未设置（-platform offscreen 无需显示）。</translation>
    </message>
    <message>
        <source>Judge signatures by the keyring FILE, not by the one the console trusts.</source>
        <translation>按密钥环文件 FILE 判定签名，而不是控制台所信任的密钥环。</translation>
    </message>
    <message>
        <source>Check that a certificate&apos;s record is signed by trusted keys and its figures are the record&apos;s, and exit.</source>
        <translation>检查证书所载记录由受信任的密钥签名、证书上的数值与记录一致，然后退出。</translation>
    </message>
    <message>
        <source>Keep the records on the lab&apos;s server, postgresql://USER@HOST:PORT/DATABASE (the password from ~/.pgpass or PGPASSWORD), not in this PC&apos;s file.</source>
        <translation>将记录保存在实验室的服务器 postgresql://USER@HOST:PORT/DATABASE 上（密码取自 ~/.pgpass 或 PGPASSWORD），而不是本机的文件中。</translation>
    </message>
    <message>
        <source>Create the records&apos; tables and roles on the server at URL, as a user who may create roles, and exit.</source>
        <translation>以可创建角色的用户身份，在 URL 所指的服务器上创建记录的表和角色，然后退出。</translation>
    </message>
    <message>
        <source>The records&apos; server must be named as postgresql://USER@HOST:PORT/DATABASE, not &apos;%1&apos;.</source>
        <translation>记录服务器须写作 postgresql://USER@HOST:PORT/DATABASE，而不是“%1”。</translation>
    </message>
    <message>
        <source>--copy-records FROM URL: copy the records of the file FROM to the server at URL, each row keeping its number, time and hash, check both, and exit.</source>
        <translation>--copy-records FROM URL：将文件 FROM 中的记录复制到 URL 所指的服务器，每行保留其序号、时间和哈希值，检查两边后退出。</translation>
    </message>
</context>
<context>
    <name>ConsoleSession</name>
    <message>
        <source>Records in %1: waiting for the store, held by another console</source>
        <translation>记录库 %1：正在等待，它正被另一个控制台占用</translation>
    </message>
    <message>
        <source>Records in %1: opening the store</source>
        <translation>记录库 %1：正在打开</translation>
    </message>
    <message>
        <source>Records are not kept: %1</source>
        <translation>记录未能保存：%1</translation>
    </message>
    <message>
        <source>Records in %1 have lost rows: %2. New rows are held in %3 (%4 so far) until the loss is accepted: dosegate-console --accept-loss NAME</source>
        <translation>%1 中的记录有行缺失：%2。在确认缺失之前，新记录暂存于 %3（目前 %4 行）：dosegate-console --accept-loss NAME</translation>
    </message>
    <message>
        <source>Records in %1; the last one could not be written: %2</source>
        <translation>记录库 %1；最近一条记录未能写入：%2</translation>
    </message>
    <message>
        <source>Records in %1, rows kept: %2</source>
        <translation>记录库 %1，已保存 %2 条记录</translation>
    </message>
    <message>
        <source>%1 records waiting for the lab server</source>
        <translation>%1 条记录等待发送到实验室服务器</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a lab server&apos;s address: postgresql://USER@HOST:PORT/DATABASE</source>
        <translation>“%1”不是实验室服务器的地址：postgresql://用户@主机:端口/数据库</translation>
    </message>
    <message>
        <source>%1 holds a password, which the console never keeps: it belongs in ~/.pgpass or PGPASSWORD.</source>
        <translation>%1 含有密码，控制台从不保存密码：密码应放在 ~/.pgpass 或 PGPASSWORD 中。</translation>
    </message>
    <message>
        <source>The choice could not be kept in %1.</source>
        <translation>无法将此选择保存到 %1。</translation>
    </message>
    <message>
        <source>the lab server %1</source>
        <translation>实验室服务器 %1</translation>
    </message>
    <message>
        <source>the local file %1</source>
        <translation>本地文件 %1</translation>
    </message>
    <message>
        <source>Records of this run: %1, as --records names it; it wins over the choice made here.</source>
        <translation>本次运行的记录：%1，由 --records 指定；它优先于此处的选择。</translation>
    </message>
    <message>
        <source>Records of this run: %1.</source>
        <translation>本次运行的记录：%1。</translation>
    </message>
    <message>
        <source>Records of this run: %1. From the next start: %2.</source>
        <translation>本次运行的记录：%1。下次启动起：%2。</translation>
    </message>
    <message>
        <source>Approving record %1...</source>
        <translation>正在批准记录 %1...</translation>
    </message>
    <message>
        <source>Rejecting record %1...</source>
        <translation>正在驳回记录 %1...</translation>
    </message>
    <message>
        <source>Decided, but no certificate was written: %1</source>
        <translation>已作决定，但未写出证书：%1</translation>
    </message>
    <message>
        <source>Record %1 is rejected; its certificate stays a draft.</source>
        <translation>记录 %1 已驳回；其证书仍为草稿。</translation>
    </message>
    <message>
        <source>Record %1 is approved; certificate issued: %2</source>
        <translation>记录 %1 已批准；证书已签发：%2</translation>
    </message>
    <message>
        <source>no key was given</source>
        <translation>未提供密钥</translation>
    </message>
    <message>
        <source>a decision on record %1 is still being written</source>
        <translation>对记录 %1 的决定仍在写入中</translation>
    </message>
    <message>
        <source>there is no record %1</source>
        <translation>不存在记录 %1</translation>
    </message>
    <message>
        <source>The decision on record %1 was not written: %2. Decide again once the records can be written.</source>
        <translation>对记录 %1 的决定未能写入：%2。请在记录库可写入后重新决定。</translation>
    </message>
</context>
<context>
    <name>FrameProtocol</name>
    <message>
        <source>count:</source>
        <translation>计数：</translation>
    </message>
</context>
<context>
    <name>KeysDialog</name>
    <message>
        <source>Keys and approval</source>
        <translation>密钥与批准</translation>
    </message>
    <message>
        <source>A key of your own</source>
        <translation>个人密钥</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>姓名</translation>
    </message>
    <message>
        <source>Function</source>
        <translation>职务</translation>
    </message>
    <message>
        <source>Passphrase</source>
        <translation>口令</translation>
    </message>
    <message>
        <source>Passphrase again</source>
        <translation>再次输入口令</translation>
    </message>
    <message>
        <source>Create key</source>
        <translation>创建密钥</translation>
    </message>
    <message>
        <source>For the keyring</source>
        <translation>供密钥环使用</translation>
    </message>
    <message>
        <source>The laboratory&apos;s keyring</source>
        <translation>实验室密钥环</translation>
    </message>
    <message>
        <source>Trust keyring...</source>
        <translation>信任密钥环...</translation>
    </message>
    <message>
        <source>Approve a calibration</source>
        <translation>批准校准</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>Your key</source>
        <translation>您的密钥</translation>
    </message>
    <message>
        <source>Reason for a rejection</source>
        <translation>驳回理由</translation>
    </message>
    <message>
        <source>Approve</source>
        <translation>批准</translation>
    </message>
    <message>
        <source>Reject</source>
        <translation>驳回</translation>
    </message>
    <message>
        <source>The keyring cannot be read: %1</source>
        <translation>无法读取密钥环：%1</translation>
    </message>
    <message>
        <source>No keyring is trusted: certificates are issued without approval.</source>
        <translation>未信任任何密钥环：证书无需批准即签发。</translation>
    </message>
    <message numerus="yes">
        <source>%n keys are trusted; calibrations are approved before issue.</source>
        <translation>
            <numerusform>已信任 %n 个密钥；校准须经批准方可签发证书。</numerusform>
        </translation>
    </message>
    <message>
        <source>The passphrases differ.</source>
        <translation>两次输入的口令不同。</translation>
    </message>
    <message>
        <source>No key was created: %1</source>
        <translation>未创建密钥：%1</translation>
    </message>
    <message>
        <source>Key of %1 created, fingerprint %2. Give the quality manager the entry above for the keyring.</source>
        <translation>已创建 %1 的密钥，指纹 %2。请将上方条目交给质量负责人加入密钥环。</translation>
    </message>
    <message>
        <source>Trust keyring</source>
        <translation>信任密钥环</translation>
    </message>
    <message>
        <source>Keyrings (*.json)</source>
        <translation>密钥环 (*.json)</translation>
    </message>
    <message>
        <source>The keyring is not trusted: %1</source>
        <translation>未信任该密钥环：%1</translation>
    </message>
    <message>
        <source>The keyring trusted until now cannot be kept aside; nothing was changed.</source>
        <translation>无法保留此前信任的密钥环；未作任何更改。</translation>
    </message>
    <message>
        <source>The keyring cannot be written: %1</source>
        <translation>无法写入密钥环：%1</translation>
    </message>
    <message>
        <source>Keyring trusted.</source>
        <translation>已信任密钥环。</translation>
    </message>
    <message>
        <source>You have no key here yet.</source>
        <translation>您在此尚无密钥。</translation>
    </message>
    <message>
        <source>Not done: %1</source>
        <translation>未完成：%1</translation>
    </message>
    <message>
        <source>Sign the calibration</source>
        <translation>签署校准</translation>
    </message>
    <message>
        <source>Performed by</source>
        <translation>校准员</translation>
    </message>
    <message>
        <source>The calibration is not finished: %1</source>
        <translation>校准未完成：%1</translation>
    </message>
</context>
<context>
    <name>NodeBoard</name>
    <message>
        <source>%1 s ago</source>
        <translation>%1 秒前</translation>
    </message>
    <message>
        <source>%1 min ago</source>
        <translation>%1 分钟前</translation>
    </message>
    <message>
        <source>%1 h ago</source>
        <translation>%1 小时前</translation>
    </message>
    <message>
        <source>live</source>
        <translation>在线</translation>
    </message>
    <message>
        <source>stale</source>
        <translation>数据超时</translation>
    </message>
    <message>
        <source>lost</source>
        <translation>失联</translation>
    </message>
    <message>
        <source>above alarm</source>
        <translation>超过报警阈值</translation>
    </message>
    <message>
        <source>The threshold this console set and the node acknowledged</source>
        <translation>本控制台设置、并经节点确认的阈值</translation>
    </message>
    <message>
        <source>Type a level in μSv/h; a threshold the node acknowledges takes its place</source>
        <translation>输入报警阈值（μSv/h）；节点确认的阈值将取代它</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>Dose (μSv/h)</source>
        <translation>剂量率（μSv/h）</translation>
    </message>
    <message>
        <source>Age</source>
        <translation>更新时间</translation>
    </message>
    <message>
        <source>Last minute</source>
        <translation>最近 1 分钟</translation>
    </message>
    <message>
        <source>Min 10 min</source>
        <translation>10 分钟最小值</translation>
    </message>
    <message>
        <source>Mean 10 min</source>
        <translation>10 分钟平均值</translation>
    </message>
    <message>
        <source>Max 10 min</source>
        <translation>10 分钟最大值</translation>
    </message>
    <message>
        <source>Trend 10 min</source>
        <translation>10 分钟趋势</translation>
    </message>
    <message>
        <source>Alarm level</source>
        <translation>报警阈值</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>not heard since start</source>
        <translation>启动以来未收到</translation>
    </message>
</context>
<context>
    <name>NodeCalibrations</name>
    <message>
        <source>Calibrated</source>
        <translation>校准日期</translation>
    </message>
    <message>
        <source>Certificate</source>
        <translation>证书编号</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>出厂编号</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>结论</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>校准员</translation>
    </message>
</context>
<context>
    <name>NodesPage</name>
    <message>
        <source>Watch all nodes</source>
        <translation>监视所有节点</translation>
    </message>
</context>
<context>
    <name>ProcedurePage</name>
    <message>
        <source>Next</source>
        <translation>下一步</translation>
    </message>
    <message>
        <source>Same item as the register&apos;s</source>
        <translation>与台账中的为同一台仪器</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>出厂编号</translation>
    </message>
    <message>
        <source>Manufacturer</source>
        <translation>制造商</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>Customer</source>
        <translation>委托方</translation>
    </message>
    <message>
        <source>Customer&apos;s address</source>
        <translation>委托方地址</translation>
    </message>
    <message>
        <source>Place of calibration</source>
        <translation>校准地点</translation>
    </message>
    <message>
        <source>Points (ranges)</source>
        <translation>校准点数（量程）</translation>
    </message>
    <message>
        <source>Tolerance</source>
        <translation>允差</translation>
    </message>
    <message>
        <source>U (k = 2)</source>
        <translation>U (k = 2)</translation>
    </message>
    <message>
        <source>Point %1, true value</source>
        <translation>第 %1 点，真值</translation>
    </message>
    <message>
        <source>Compute the true value</source>
        <translation>计算真值</translation>
    </message>
    <message>
        <source>Source certificate</source>
        <translation>辐射源证书</translation>
    </message>
    <message>
        <source>at</source>
        <translation>于</translation>
    </message>
    <message>
        <source>Reference date and distance</source>
        <translation>参考日期与距离</translation>
    </message>
    <message>
        <source>Point and its distance</source>
        <translation>校准点及其距离</translation>
    </message>
    <message>
        <source>Background, source shielded</source>
        <translation>本底（屏蔽辐射源）</translation>
    </message>
    <message>
        <source>Its U (k = 2)</source>
        <translation>其 U (k = 2)</translation>
    </message>
    <message>
        <source>Type it, or measure it on the potentiometer page (Use as background) and copy it here.</source>
        <translation>直接输入，或在电位器页测量（作为本底）后填入此处。</translation>
    </message>
    <message>
        <source>Skip: every point passes as found</source>
        <translation>跳过：调整前各点均合格</translation>
    </message>
    <message>
        <source>Finish: keep the record</source>
        <translation>完成：保存记录</translation>
    </message>
    <message>
        <source>The certificate&apos;s figures give no true value.</source>
        <translation>证书数据无法得出真值。</translation>
    </message>
    <message>
        <source>%1 μSv/h today (decay × %2, distance × %3), U = %4 %</source>
        <translation>今日 %1 μSv/h（衰变 × %2，距离 × %3），U = %4 %</translation>
    </message>
    <message>
        <source>Point %1: settling, %2 readings left out.</source>
        <translation>第 %1 点：稳定中，剔除 %2 个读数。</translation>
    </message>
    <message>
        <source>Point %1 taken: %2 readings, mean %3 μSv/h, e = %4 %, U = %5 % (k = %6): %7</source>
        <translation>第 %1 点已记录：%2 个读数，平均值 %3 μSv/h，e = %4 %，U = %5 % (k = %6)：%7</translation>
    </message>
    <message>
        <source>Reopened: node %1&apos;s calibration stands at step %2, %3, as it was kept before the console stopped.</source>
        <translation>已恢复：节点 %1 的校准停在第 %2 步（%3），与控制台停止前保存的一致。</translation>
    </message>
    <message>
        <source>Calibration open</source>
        <translation>校准进行中</translation>
    </message>
    <message>
        <source>Node %1&apos;s calibration is open at step %2, %3. Close the console anyway? It reopens there at the next start.</source>
        <translation>节点 %1 的校准停在第 %2 步（%3），尚未完成。仍要关闭控制台吗？下次启动时将从此处恢复。</translation>
    </message>
    <message>
        <source>Settling: left out of the point&apos;s figures</source>
        <translation>稳定期：不计入该点的结果</translation>
    </message>
    <message>
        <source>Calc</source>
        <translation>计算</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Same reference field and background as the last node</source>
        <translation>沿用上一节点的参考辐射场与本底</translation>
    </message>
    <message>
        <source>Calc on the points as found (ranges not measured keep their coefficients), then Set. The node&apos;s coefficients are read back and compared with what was written; as left follows when they match.</source>
        <translation>按调整前的测量点计算（未测量的量程保持原系数），然后设置。节点的系数会被回读并与写入值比较；一致后进入调整后测量。</translation>
    </message>
    <message>
        <source>not yet known</source>
        <translation>尚不可知</translation>
    </message>
    <message>
        <source>Point %1: %2 readings, e = %3 %, U = %4; about %5 readings left.</source>
        <translation>第 %1 点：%2 个读数，e = %3 %，U = %4；约剩 %5 个读数。</translation>
    </message>
    <message>
        <source>Node %1&apos;s record is kept.</source>
        <translation>节点 %1 的记录已保存。</translation>
    </message>
    <message>
        <source>Found: %1.</source>
        <translation>调整前：%1。</translation>
    </message>
    <message>
        <source>Written: %1.</source>
        <translation>写入：%1。</translation>
    </message>
    <message>
        <source>Read back: %1, as written.</source>
        <translation>回读：%1，与写入一致。</translation>
    </message>
</context>
<context>
    <name>ReadingTrend</name>
    <message>
        <source>true value</source>
        <translation>真值</translation>
    </message>
    <message>
        <source>upper / lower limit</source>
        <translation>上限 / 下限</translation>
    </message>
    <message>
        <source>lower limit</source>
        <translation>下限</translation>
    </message>
    <message>
        <source>reading</source>
        <translation>测量值</translation>
    </message>
    <message>
        <source>potentiometer step</source>
        <translation>电位器调节</translation>
    </message>
    <message>
        <source>mean ± U</source>
        <translation>平均值 ± U</translation>
    </message>
    <message>
        <source>mean</source>
        <translation>平均值</translation>
    </message>
</context>
<context>
    <name>RecordsPage</name>
    <message>
        <source>Operator</source>
        <translation>校准员</translation>
    </message>
    <message>
        <source>Reference source</source>
        <translation>参考源</translation>
    </message>
    <message>
        <source>Reference certificate</source>
        <translation>参考源证书编号</translation>
    </message>
    <message>
        <source>Reference expanded uncertainty (k = 2), %</source>
        <translation>参考源扩展不确定度 (k = 2)，%</translation>
    </message>
    <message>
        <source>Temperature, °C</source>
        <translation>温度，°C</translation>
    </message>
    <message>
        <source>Pressure, kPa</source>
        <translation>气压，kPa</translation>
    </message>
    <message>
        <source>Relative humidity, %</source>
        <translation>相对湿度，%</translation>
    </message>
    <message>
        <source>Laboratory</source>
        <translation>实验室</translation>
    </message>
    <message>
        <source>Laboratory address</source>
        <translation>实验室地址</translation>
    </message>
    <message>
        <source>Recalibration interval</source>
        <translation>复校间隔</translation>
    </message>
    <message>
        <source> months</source>
        <translation> 个月</translation>
    </message>
    <message>
        <source>Customer</source>
        <translation>委托方</translation>
    </message>
    <message>
        <source>Place of calibration</source>
        <translation>校准地点</translation>
    </message>
    <message>
        <source>Measurand and radiation quality</source>
        <translation>被测量与辐射质</translation>
    </message>
    <message>
        <source>Procedure</source>
        <translation>校准规程</translation>
    </message>
    <message>
        <source>Traceability statement</source>
        <translation>溯源性声明</translation>
    </message>
    <message>
        <source>Uncertainty budget...</source>
        <translation>不确定度分量表...</translation>
    </message>
    <message>
        <source>Keys and approval...</source>
        <translation>密钥与批准...</translation>
    </message>
    <message>
        <source>Finish calibration</source>
        <translation>完成校准</translation>
    </message>
    <message>
        <source>Use the local file</source>
        <translation>使用本地文件</translation>
    </message>
    <message>
        <source>Lab server...</source>
        <translation>实验室服务器...</translation>
    </message>
    <message>
        <source>Show certificate</source>
        <translation>查看证书</translation>
    </message>
    <message>
        <source>Issue again</source>
        <translation>重新签发</translation>
    </message>
</context>
<context>
    <name>ReplyBoxes</name>
    <message>
        <source>Device completes node ID setting: The device ID has been successfully modified!</source>
        <translation>设备已完成节点 ID 设置：设备 ID 修改成功！</translation>
    </message>
    <message>
        <source>Set screen display and alarm switches</source>
        <translation>设置显示与报警开关</translation>
    </message>
    <message>
        <source>Set screen display and alarm switches!</source>
        <translation>显示与报警开关设置完成！</translation>
    </message>
    <message>
        <source>Set detector parameters</source>
        <translation>设置探测器参数</translation>
    </message>
    <message>
        <source>Device completes detector parameter settings!</source>
        <translation>设备已完成探测器参数设置！</translation>
    </message>
    <message>
        <source>Modify nodes ID: Modify device ID</source>
        <translation>修改节点 ID：修改设备 ID</translation>
    </message>
    <message>
        <source>set language</source>
        <translation>设置语言</translation>
    </message>
    <message>
        <source>Device completes language settings!</source>
        <translation>设备已完成语言设置！</translation>
    </message>
    <message>
        <source>Setting Precision</source>
        <translation>设置显示精度</translation>
    </message>
    <message>
        <source>Device completes accuracy setting!</source>
        <translation>设备已完成显示精度设置！</translation>
    </message>
    <message>
        <source>SetCalibration</source>
        <translation>设置校准系数</translation>
    </message>
    <message>
        <source>Calibration Coefficient Success!</source>
        <translation>校准系数设置成功！</translation>
    </message>
    <message>
        <source>Device completes display unit settings!-Gy</source>
        <translation>设备已完成显示单位设置！-Gy</translation>
    </message>
    <message>
        <source>Device completes display unit settings!-Rad</source>
        <translation>设备已完成显示单位设置！-Rad</translation>
    </message>
    <message>
        <source>Device completes display unit settings!-Sv</source>
        <translation>设备已完成显示单位设置！-Sv</translation>
    </message>
    <message>
        <source>The device is undergoing alarm testing</source>
        <translation>设备正在进行报警测试</translation>
    </message>
    <message>
        <source>Turn off alarm testing</source>
        <translation>报警测试已关闭</translation>
    </message>
    <message>
        <source>up</source>
        <translation>上调</translation>
    </message>
    <message>
        <source>down</source>
        <translation>下调</translation>
    </message>
    <message>
        <source>Set Display Units</source>
        <translation>设置显示单位</translation>
    </message>
    <message>
        <source>Alarm testing</source>
        <translation>报警测试</translation>
    </message>
    <message>
        <source>Set threshold</source>
        <translation>设置阈值</translation>
    </message>
    <message>
        <source>success</source>
        <translation>成功</translation>
    </message>
</context>
<context>
    <name>ReportExport</name>
    <message>
        <source>The report could not be saved to %1: %2</source>
        <translation>报告无法保存到 %1：%2</translation>
    </message>
    <message>
        <source>the table has %1 columns, the report takes 2 to %2</source>
        <translation>表格有 %1 列，报告只接受 2 至 %2 列</translation>
    </message>
    <message>
        <source>Failed to create Excel object, please install Microsoft Excel.</source>
        <translation>无法创建 Excel 对象，请安装 Microsoft Excel。</translation>
    </message>
    <message>
        <source>The report was saved to %1, but the spreadsheet could not be closed cleanly: %2</source>
        <translation>报告已保存到 %1，但电子表格未能正常关闭：%2</translation>
    </message>
</context>
<context>
    <name>SetwiseDosegate</name>
    <message>
        <source>warn</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The average number of groups needs to be greater than 20！！！</source>
        <translation>平均次数不能少于 20！！！</translation>
    </message>
    <message>
        <source>Certificates are written to %1</source>
        <translation>证书保存在 %1</translation>
    </message>
    <message>
        <source>Calibrations of node %1</source>
        <translation>节点 %1 的校准记录</translation>
    </message>
    <message>
        <source>Certificate of record %1: %2</source>
        <translation>记录 %1 的证书：%2</translation>
    </message>
    <message>
        <source>No certificate for record %1: %2</source>
        <translation>记录 %1 未出具证书：%2</translation>
    </message>
    <message>
        <source>Certificate refused</source>
        <translation>拒绝出具证书</translation>
    </message>
    <message>
        <source>No certificate is issued for record %1: %2.</source>
        <translation>不为记录 %1 出具证书：%2。</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Excel file(*.xls *.xlsx)</source>
        <translation>Excel 文件(*.xls *.xlsx)</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Complete</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>The file has been exported. Do you want to open it now？</source>
        <translation>文件已导出。是否现在打开？</translation>
    </message>
    <message>
        <source>Certificate</source>
        <translation>证书</translation>
    </message>
    <message>
        <source>No program opens the certificate here. It is %1</source>
        <translation>本机没有可打开证书的程序。证书文件为 %1</translation>
    </message>
    <message>
        <source>Copy path</source>
        <translation>复制路径</translation>
    </message>
    <message>
        <source>procedure</source>
        <translation>校准流程</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>Lab server</source>
        <translation>实验室服务器</translation>
    </message>
    <message>
        <source>The lab&apos;s records server, postgresql://USER@HOST:PORT/DATABASE.
The password comes from ~/.pgpass or PGPASSWORD, never from here.
The records go there from the next start of the console.</source>
        <translation>实验室的记录服务器，postgresql://用户@主机:端口/数据库。
密码来自 ~/.pgpass 或 PGPASSWORD，绝不在此输入。
从控制台下次启动起，记录将保存到该服务器。</translation>
    </message>
    <message>
        <source>No address given: the choice stays as it was. &quot;Use the local file&quot; keeps the records on this PC.</source>
        <translation>未输入地址：选择保持不变。“使用本地文件”会将记录保存在本机。</translation>
    </message>
</context>
<context>
    <name>SetwiseDosegateClass</name>
    <message>
        <source>ZORVEK</source>
        <translation>ZORVEK</translation>
    </message>
    <message>
        <source>                                         Current version V1.3.4.1</source>
        <translation>                                         当前版本 V1.3.4.1</translation>
    </message>
    <message>
        <source>0.00</source>
        <translation>0.00</translation>
    </message>
    <message>
        <source>set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Modify nodes ID</source>
        <translation>修改节点 ID</translation>
    </message>
    <message>
        <source>Current ID:</source>
        <translation>当前 ID：</translation>
    </message>
    <message>
        <source>Target ID:</source>
        <translation>目标 ID：</translation>
    </message>
    <message>
        <source>Set up</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Set threshold</source>
        <translation>设置阈值</translation>
    </message>
    <message>
        <source>ID:</source>
        <translation>ID：</translation>
    </message>
    <message>
        <source>Threshold:</source>
        <translation>阈值：</translation>
    </message>
    <message>
        <source>Set screen and alarm display switches</source>
        <translation>设置显示与报警开关</translation>
    </message>
    <message>
        <source>On/Off</source>
        <translation>开/关</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>关</translation>
    </message>
    <message>
        <source>Set parameters</source>
        <translation>设置探测器参数</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>DT-B</source>
        <translation>DT-B</translation>
    </message>
    <message>
        <source>DT-C</source>
        <translation>DT-C</translation>
    </message>
    <message>
        <source>DT-D</source>
        <translation>DT-D</translation>
    </message>
    <message>
        <source>DT-A</source>
        <translation>DT-A</translation>
    </message>
    <message>
        <source>Set language</source>
        <translation>设置语言</translation>
    </message>
    <message>
        <source>English/Chinese</source>
        <translation>英文/中文</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>Set Display Units</source>
        <translation>设置显示单位</translation>
    </message>
    <message>
        <source>Display unit:</source>
        <translation>显示单位：</translation>
    </message>
    <message>
        <source>Gy</source>
        <translation>Gy</translation>
    </message>
    <message>
        <source>Rad</source>
        <translation>Rad</translation>
    </message>
    <message>
        <source>Sv</source>
        <translation>Sv</translation>
    </message>
    <message>
        <source>Setting Precision</source>
        <translation>设置显示精度</translation>
    </message>
    <message>
        <source>Precision:</source>
        <translation>精度：</translation>
    </message>
    <message>
        <source>Two digit accuracy</source>
        <translation>两位小数</translation>
    </message>
    <message>
        <source>Three digit accuracy</source>
        <translation>三位小数</translation>
    </message>
    <message>
        <source>Alarm testing</source>
        <translation>报警测试</translation>
    </message>
    <message>
        <source>On</source>
        <translation>开</translation>
    </message>
    <message>
        <source>Slave address</source>
        <translation>从站地址</translation>
    </message>
    <message>
        <source> ID：</source>
        <translation> ID：</translation>
    </message>
    <message>
        <source>Target slave address:</source>
        <translation>目标从站地址：</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>校准</translation>
    </message>
    <message>
        <source>Calibration Coefficient</source>
        <translation>校准系数</translation>
    </message>
    <message>
        <source>(0μSv/h-200μSv/h)</source>
        <translation>(0μSv/h-200μSv/h)</translation>
    </message>
    <message>
        <source>(200μSv/h-1mSv/h)</source>
        <translation>(200μSv/h-1mSv/h)</translation>
    </message>
    <message>
        <source>(1mSv/h-upper)</source>
        <translation>(1mSv/h 以上)</translation>
    </message>
    <message>
        <source>Coefficient</source>
        <translation>新系数</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>     TrueValue</source>
        <translation>     真值</translation>
    </message>
    <message>
        <source>Calc</source>
        <translation>计算</translation>
    </message>
    <message>
        <source>MeasuredValue</source>
        <translation>测量值</translation>
    </message>
    <message>
        <source>GetCoefficient</source>
        <translation>读取的系数</translation>
    </message>
    <message>
        <source>Get</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;SimSun&apos;; font-size:9pt; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;NOTE:When you use the software to calibrate dosegate-s,you should be sure that your devices SUPPORT this software.&lt;/p&gt;
&lt;p style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;the calibration coefficient value = (True value/Measured Value)&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;you could calculate it with the &apos;calc tools&apos; on this page or do it yourself. &lt;/p&gt;
&lt;p style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;step1:Fill your DoseGate&apos;s ID number in the &apos;ID box&apos;.&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;step2:Click the &amp;quot;Get&amp;quot; Button to get the current calibration coefficient.&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;step3:Click the &amp;quot;Calc&amp;quot; Button to calculate the new calibration coefficient.&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;step4:Click the &amp;quot;Set&amp;quot; Button to calibrate your DoseGate.You would get a &apos;Calibration succeeds&apos; box if it&apos;s done.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;SimSun&apos;; font-size:9pt; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;注意：用本软件校准设备前，请确认您的设备支持本软件。&lt;/p&gt;
&lt;p style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;校准系数 = 真值 / 测量值&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;可用本页的计算工具计算，也可自行计算。&lt;/p&gt;
&lt;p style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;第一步：在“ID”框中填入设备的 ID。&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;第二步：点击“读取”按钮，读取当前的校准系数。&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;第三步：点击“计算”按钮，计算新的校准系数。&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;第四步：点击“设置”按钮写入校准系数，完成后将弹出“校准系数设置成功”的提示框。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Ip:</source>
        <translation>IP：</translation>
    </message>
    <message>
        <source>192.168.1.200</source>
        <translation>192.168.1.200</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>8888</source>
        <translation>8888</translation>
    </message>
    <message>
        <source>potentiometer</source>
        <translation>电位器</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>down</source>
        <translation>下调</translation>
    </message>
    <message>
        <source>set(1.4.15)</source>
        <translation>设置(1.4.15)</translation>
    </message>
    <message>
        <source>up</source>
        <translation>上调</translation>
    </message>
    <message>
        <source>Average</source>
        <translation>平均次数</translation>
    </message>
    <message>
        <source>20</source>
        <translation>20</translation>
    </message>
    <message>
        <source>True value</source>
        <translation>真值</translation>
    </message>
    <message>
        <source>0.09</source>
        <translation>0.09</translation>
    </message>
    <message>
        <source>Calibration report</source>
        <translation>校准报告</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>数值</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>增益</translation>
    </message>
    <message>
        <source>线数</source>
        <translation>线数</translation>
    </message>
    <message>
        <source>数值</source>
        <translation>数值</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>upper limit</source>
        <translation>上限</translation>
    </message>
    <message>
        <source>1.1</source>
        <translation>1.1</translation>
    </message>
    <message>
        <source>mean value</source>
        <translation>平均值</translation>
    </message>
    <message>
        <source>0.0</source>
        <translation>0.0</translation>
    </message>
    <message>
        <source> uSv/h</source>
        <translation> uSv/h</translation>
    </message>
    <message>
        <source>lower limit</source>
        <translation>下限</translation>
    </message>
    <message>
        <source>0.9</source>
        <translation>0.9</translation>
    </message>
    <message>
        <source>Relative inherent error</source>
        <translation>相对固有误差</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>coefficient of variation</source>
        <translation>变异系数</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Serial number: </source>
        <translation>出厂编号：</translation>
    </message>
    <message>
        <source>  000000</source>
        <translation>  000000</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>本底</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>uSv/h</source>
        <translation>uSv/h</translation>
    </message>
    <message>
        <source>Standard deviation</source>
        <translation>标准偏差</translation>
    </message>
    <message>
        <source>Decision rule</source>
        <translation>判定规则</translation>
    </message>
    <message>
        <source>simple acceptance</source>
        <translation>简单接受</translation>
    </message>
    <message>
        <source>guarded acceptance</source>
        <translation>保护带接受</translation>
    </message>
    <message>
        <source>Reference U (k = 2)</source>
        <translation>参考源 U (k = 2)</translation>
    </message>
    <message>
        <source>Expanded uncertainty</source>
        <translation>扩展不确定度</translation>
    </message>
    <message>
        <source>As found</source>
        <translation>调整前</translation>
    </message>
    <message>
        <source>As left</source>
        <translation>调整后</translation>
    </message>
    <message>
        <source>records</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>nodes</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>state:</source>
        <translation>状态：</translation>
    </message>
    <message>
        <source>not connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英文</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>结论</translation>
    </message>
    <message>
        <source>±</source>
        <translation>±</translation>
    </message>
    <message>
        <source>Expanded uncertainty of the background (k = 2)</source>
        <translation>本底的扩展不确定度 (k = 2)</translation>
    </message>
    <message>
        <source>The mean of this run and its s/√n become the background and its uncertainty: measure with the source shielded</source>
        <translation>本次测量的平均值及其 s/√n 作为本底及其不确定度：请在屏蔽辐射源时测量</translation>
    </message>
    <message>
        <source>Use as background</source>
        <translation>作为本底</translation>
    </message>
</context>
<context>
    <name>TcpSocket</name>
    <message>
        <source>connecting...</source>
        <translation>正在连接...</translation>
    </message>
    <message>
        <source>connected!</source>
        <translation>已连接！</translation>
    </message>
</context>
<context>
    <name>UncertaintyBudget</name>
    <message>
        <source>normal</source>
        <translation>正态</translation>
    </message>
    <message>
        <source>rectangular</source>
        <translation>矩形</translation>
    </message>
    <message>
        <source>triangular</source>
        <translation>三角</translation>
    </message>
    <message>
        <source>U-shaped</source>
        <translation>U 形</translation>
    </message>
    <message>
        <source>Reference source certificate</source>
        <translation>参考源证书</translation>
    </message>
    <message>
        <source>Decay since the reference date</source>
        <translation>自参考日期以来的衰变</translation>
    </message>
    <message>
        <source>Distance to the source</source>
        <translation>到辐射源的距离</translation>
    </message>
</context>
</TS>
