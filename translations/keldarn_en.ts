<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ControlPointsDialog</name>
    <message>
        <location filename="../app/control_points_dialog.cpp" line="+60"/>
        <source>点名</source>
        <translation>Name</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>纬度(度)</source>
        <translation>Lat (°)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>源X</source>
        <translation>Source X</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>经度(度)</source>
        <translation>Lon (°)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>源Y</source>
        <translation>Source Y</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>源H</source>
        <translation>Source H</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>目标X</source>
        <translation>Target X</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>目标Y</source>
        <translation>Target Y</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>目标H</source>
        <translation>Target H</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>使用</source>
        <translation>Use</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>残差vX</source>
        <translation>Residual vX</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>残差vY</source>
        <translation>Residual vY</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>残差vH</source>
        <translation>Residual vH</translation>
    </message>
</context>
<context>
    <name>Dialogs</name>
    <message>
        <location filename="../app/dialogs.cpp" line="+58"/>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <location line="+84"/>
        <location line="+60"/>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="-59"/>
        <location line="+60"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>MapPoints</name>
    <message>
        <location filename="../app/map_points.cpp" line="+37"/>
        <source>点表</source>
        <translation>Point table</translation>
    </message>
</context>
<context>
    <name>ProfileChart</name>
    <message>
        <location filename="../ops/profile_chart.cpp" line="+155"/>
        <source>里程 (m)</source>
        <translation>Chainage (m)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>高程 (m)</source>
        <translation>Elevation (m)</translation>
    </message>
</context>
<context>
    <name>ProjectionDialog</name>
    <message>
        <location filename="../app/projection_dialog.cpp" line="+23"/>
        <source>ΔX(米)</source>
        <translation>ΔX (m)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>ΔY(米)</source>
        <translation>ΔY (m)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>ΔZ(米)</source>
        <translation>ΔZ (m)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>旋转rx(秒)</source>
        <translation>Rotation rx (″)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>旋转ry(秒)</source>
        <translation>Rotation ry (″)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>旋转rz(秒)</source>
        <translation>Rotation rz (″)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>尺度(ppm)</source>
        <translation>Scale (ppm)</translation>
    </message>
    <message>
        <location line="+180"/>
        <source>，6°带</source>
        <translation>, 6° zones</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>，3°带</source>
        <translation>, 3° zones</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>，Y含带号</source>
        <translation>, Y with zone number</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>，Y不含带号</source>
        <translation>, Y without zone number</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>，七参数</source>
        <translation>, seven parameters</translation>
    </message>
</context>
<context>
    <name>TAboutBox</name>
    <message>
        <location filename="../app/about_box.h" line="+41"/>
        <source>获取产品信息时遇到致命错误，请尝试重新启动软件。</source>
        <translation>A fatal error occurred while reading the product information. Please try restarting the program.</translation>
    </message>
</context>
<context>
    <name>TFormMain</name>
    <message>
        <location filename="../app/main_window_cad.cpp" line="+27"/>
        <source>AutoCAD尚未打开！</source>
        <translation>The drawing window is not open. Open one with Convert → New CAD Drawing.</translation>
    </message>
    <message>
        <location filename="../app/main_window_capture.cpp" line="+37"/>
        <source>地图窗的边缘对着天空，无法测量地图窗范围。请在“地图窗范围”页减小倾角(度)，使整个地图窗都能看到地面，再刷新。</source>
        <translation>The edges of the map window face the sky, so its extent cannot be measured. On the &quot;Map View&quot; page, reduce Tilt (°) until the whole map window shows the ground, then refresh.</translation>
    </message>
    <message>
        <location filename="../app/main_window_export.cpp" line="+35"/>
        <source>列表位置无效：请先选中一个字段。</source>
        <translation>Invalid list position: select a field first.</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>换行</source>
        <translation>a line break</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>分隔符（空格）或换行</source>
        <translation>the separator (a blank) or a line break</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>分隔符“%1”或换行</source>
        <translation>the separator “%1” or a line break</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>第%1行 %2</source>
        <translation>Row %1 %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>……另有 %1 行</source>
        <translation>… and %1 more rows</translation>
    </message>
    <message>
        <location filename="../app/main_window_survey.cpp" line="+66"/>
        <source>%1“%2”不是数字。</source>
        <translation>%1 &quot;%2&quot; is not a number.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1必须大于0。</source>
        <translation>%1 must be greater than 0.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>地图窗的边缘对着天空，无法确定地图窗中的地面范围。请在“地图窗范围”页减小倾角(度)后再生成等高线。</source>
        <translation>The edges of the map view face the sky, so the ground in the map view cannot be bounded. Reduce the tilt (degrees) on the &quot;Map View Extent&quot; page, then generate the contours again.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>正在进行地形计算，请等待结束或按Esc取消。</source>
        <translation>Terrain computation in progress; wait for it to end or press Esc to cancel.</translation>
    </message>
    <message>
        <location line="+171"/>
        <source>格网间距</source>
        <translation>Grid spacing</translation>
    </message>
    <message>
        <location line="+70"/>
        <source>采样间距</source>
        <translation>Sampling interval</translation>
    </message>
    <message>
        <location line="+83"/>
        <source>等高距</source>
        <translation>Contour interval</translation>
    </message>
    <message>
        <location filename="../app/main_window_terrain.cpp" line="+48"/>
        <source>米</source>
        <translation>m</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>度</source>
        <translation>deg</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1（%2，格网 %3%4）</source>
        <translation>%1 (%2, grid %3 %4)</translation>
    </message>
    <message>
        <location filename="../app/profile_window.h" line="+28"/>
        <source>地图上点选的路线</source>
        <translation>Route picked on the map</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>地图上点选的区域</source>
        <translation>Area picked on the map</translation>
    </message>
</context>
<context>
    <name>TerrainProductDialog</name>
    <message>
        <location filename="../app/terrain_product_dialog.cpp" line="+31"/>
        <source>纵断面</source>
        <translation>Longitudinal Profile</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>路线</source>
        <translation>Route</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>采样间距(米)：</source>
        <translation>Sampling interval (m):</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>沿路线每隔采样间距取一点，路线的每个顶点都取。里程默认在测量坐标平面上量取，与CAD图形一致。</source>
        <translation>A point is taken along the route at every sampling interval, and at every vertex of the route. Chainage is measured on the survey coordinate plane by default, as in the CAD drawing.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>区域采点</source>
        <translation>Sample Points in Area</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>区域边界</source>
        <translation>Area boundary</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>格网间距(米)：</source>
        <translation>Grid spacing (m):</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>在测量坐标的整数格网上（X、Y为间距的整数倍）取边界以内的点，洞内不取。按Esc可取消。</source>
        <translation>Points inside the boundary are taken on the whole grid of the survey coordinates (X and Y multiples of the spacing), none inside holes. Press Esc to cancel.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>等高线到CAD图形</source>
        <translation>Contours to CAD Drawing</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>范围</source>
        <translation>Extent</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>等高距(米)：</source>
        <translation>Contour interval (m):</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>按高程数据的原分辨率生成等高线，每五条一条计曲线，画入CAD图形的“首曲线”“计曲线”图层。</source>
        <translation>Contours are generated at the native resolution of the elevation data, every fifth one an index contour, and drawn into the CAD drawing on the layers &quot;首曲线&quot; (intermediate) and &quot;计曲线&quot; (index).</translation>
    </message>
</context>
<context>
    <name>VersionValues</name>
    <message>
        <location filename="../app/version_info.cpp" line="+15"/>
        <source>Keldarn 地形采点与坐标转换</source>
        <translation>Keldarn terrain points and coordinate conversion</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Keldarn 测绘软件</source>
        <translation>Keldarn surveying software</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>版权所有 (C) 2026 Keldarn</source>
        <translation>Copyright (C) 2026 Keldarn</translation>
    </message>
</context>
<context>
    <name>app</name>
    <message>
        <location filename="../app/parameter_import.cpp" line="+51"/>
        <source>无法读取文件 %1：%2</source>
        <translation>Cannot read the file %1: %2</translation>
    </message>
    <message>
        <location filename="../settings/profile_file.cpp" line="+148"/>
        <source>无法读取设置文件 %1：%2</source>
        <translation>Cannot read the settings file %1: %2</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>设置文件 %1 含有 NUL 字节，是二进制文件，不是本程序的设置文件</source>
        <translation>The settings file %1 holds NUL bytes: it is a binary file, not a settings file of this program</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>设置文件 %1 中没有一行是“[节名]”，不是本程序的设置文件</source>
        <translation>The settings file %1 has no “[section]” line: it is not a settings file of this program</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>设置文件 %1 大于 1 MB，不是本程序的设置文件</source>
        <translation>The settings file %1 is larger than 1 MB; it is not a settings file of this program</translation>
    </message>
    <message>
        <location filename="../settings/settings.cpp" line="+221"/>
        <source>%1。该文件保持原样，本次的设置没有保存。</source>
        <translation>%1. The file was left as it was; these settings were not saved.</translation>
    </message>
    <message>
        <location line="+177"/>
        <source>设置文件 %1 的 [KML] 节中有无法识别的值：</source>
        <translation>The [KML] section of the settings file %1 holds values that cannot be read:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>应为 1 到 %1 之间的整数（MB）</source>
        <translation>should be a whole number from 1 to %1 (MB)</translation>
    </message>
    <message>
        <location line="+65"/>
        <source>应为 %1 之一</source>
        <translation>should be one of %1</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>小数点须写作“.”，逗号也可能是千位分隔符，其意不明</source>
        <translation>the decimal mark must be “.”; a comma may also separate thousands, so the meaning is unclear</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>不是数</source>
        <translation>is not a number</translation>
    </message>
    <message>
        <location line="-81"/>
        <location line="+92"/>
        <source>%1=%2：%3</source>
        <translation>%1=%2: %3</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>设置文件 %1 的 [Projection] 节中有无法识别的值：</source>
        <translation>The [Projection] section of the settings file %1 has values that cannot be read:</translation>
    </message>
</context>
<context>
    <name>cad</name>
    <message>
        <location filename="../cad/drawing_document.cpp" line="+62"/>
        <source>轻量多段线没有属性 %1。</source>
        <translation>A lightweight polyline has no property %1.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>单行文字没有属性 %1。</source>
        <translation>A single-line text has no property %1.</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>顶点序号 %1 超出范围：这条多段线的顶点序号为 0 到 %2。</source>
        <translation>Vertex index %1 is out of range: this polyline&apos;s vertices are numbered 0 to %2.</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>图形中没有系统变量“%1”。</source>
        <translation>The drawing has no system variable &quot;%1&quot;.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>点的坐标不是有限的数值。</source>
        <translation>The point&apos;s coordinates are not finite numbers.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>文字插入点的坐标不是有限的数值。</source>
        <translation>The text insertion point&apos;s coordinates are not finite numbers.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>文字高度必须是正数，却是 %1。</source>
        <translation>The text height must be positive, but is %1.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>轻量多段线需要至少两个顶点，以成对的 x, y 给出；收到了 %1 个数值。</source>
        <translation>A lightweight polyline needs at least two vertices, given as x, y pairs; got %1 number(s).</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>多段线顶点的坐标不是有限的数值。</source>
        <translation>The polyline vertex&apos;s coordinates are not finite numbers.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>选择集“%1”正在图形窗口中选择对象，请先结束那次选择。</source>
        <translation>Selection set &quot;%1&quot; is selecting objects in the drawing window; finish that selection first.</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>图形窗口中已有一次选择正在进行，请先结束那次选择。</source>
        <translation>A selection is already in progress in the drawing window; finish that selection first.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>图形窗口不能选择对象。</source>
        <translation>The drawing window cannot select objects.</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>图形窗口只能按“单行文字或轻量多段线”过滤选择对象（&lt;or &lt;and LWPolyline and&gt; &lt;and Text and&gt; or&gt;），不支持给出的过滤条件。</source>
        <translation>The drawing window can only filter a selection by &quot;single-line text or lightweight polyline&quot; (&lt;or &lt;and LWPolyline and&gt; &lt;and Text and&gt; or&gt;); the filter given is not supported.</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>选择集序号 %1 超出范围：选择集“%2”中有 %3 个对象。</source>
        <translation>Selection index %1 is out of range: selection set &quot;%2&quot; holds %3 object(s).</translation>
    </message>
    <message>
        <location filename="../cad/drawing_model.cpp" line="+26"/>
        <source>图形过大：文字或顶点的总量超出了图形窗口的上限。</source>
        <translation>The drawing is too large: its texts or vertices exceed what the drawing window can hold.</translation>
    </message>
    <message>
        <location filename="../cad/dxf_reader.cpp" line="+78"/>
        <source>第 %1 行过长，这不是DXF文本文件。</source>
        <translation>Line %1 is too long; this is not a DXF text file.</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>读取失败：%1</source>
        <translation>Read failed: %1</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>块参照 (INSERT)</source>
        <translation>Block references (INSERT)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>多行文字 (MTEXT)</source>
        <translation>Multiline texts (MTEXT)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>尺寸标注 (DIMENSION)</source>
        <translation>Dimensions (DIMENSION)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>图案填充 (HATCH)</source>
        <translation>Hatches (HATCH)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>样条曲线 (SPLINE)</source>
        <translation>Splines (SPLINE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>块属性 (ATTRIB)</source>
        <translation>Block attributes (ATTRIB)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>属性定义 (ATTDEF)</source>
        <translation>Attribute definitions (ATTDEF)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>二维填充 (SOLID)</source>
        <translation>2D solids (SOLID)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>三维面 (3DFACE)</source>
        <translation>3D faces (3DFACE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>引线 (LEADER)</source>
        <translation>Leaders (LEADER)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>多线 (MLINE)</source>
        <translation>Multilines (MLINE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>光栅图像 (IMAGE)</source>
        <translation>Raster images (IMAGE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>构造线 (XLINE)</source>
        <translation>Construction lines (XLINE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>射线 (RAY)</source>
        <translation>Rays (RAY)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>宽线 (TRACE)</source>
        <translation>Traces (TRACE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>面域 (REGION)</source>
        <translation>Regions (REGION)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>三维实体 (3DSOLID)</source>
        <translation>3D solids (3DSOLID)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>多重引线 (MULTILEADER)</source>
        <translation>Multileaders (MULTILEADER)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>区域覆盖 (WIPEOUT)</source>
        <translation>Wipeouts (WIPEOUT)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>形位公差 (TOLERANCE)</source>
        <translation>Geometric tolerances (TOLERANCE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>形 (SHAPE)</source>
        <translation>Shapes (SHAPE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>表格 (ACAD_TABLE)</source>
        <translation>Tables (ACAD_TABLE)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>弧长标注 (ARC_DIMENSION)</source>
        <translation>Arc length dimensions (ARC_DIMENSION)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>OLE对象 (OLE2FRAME)</source>
        <translation>OLE objects (OLE2FRAME)</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>这不是DXF文件（文件中没有任何段）。</source>
        <translation>This is not a DXF file (it has no sections).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>文件在第 %1 行之后中断（缺少段结束和文件结束标记），可能已被截断。</source>
        <translation>The file breaks off after line %1 (the section end and end-of-file markers are missing); it may have been truncated.</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>这是二进制DXF文件，图形窗口只读取文本（ASCII）格式的DXF文件。</source>
        <translation>This is a binary DXF file; the drawing window reads only DXF files in text (ASCII) format.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>第 %1 行应是组码（整数），却是%2。</source>
        <translation>Line %1 should be a group code (an integer), but is %2.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>这不是DXF文件（第 1 行不是组码）。</source>
        <translation>This is not a DXF file (line 1 is not a group code).</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>文件在第 %1 行（组码 %2）之后中断，可能已被截断。</source>
        <translation>The file breaks off after line %1 (group code %2); it may have been truncated.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>这不是DXF文件（没有以段 SECTION 开始）。</source>
        <translation>This is not a DXF file (it does not start with a SECTION).</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>块定义 (BLOCK)</source>
        <translation>Block definitions (BLOCK)</translation>
    </message>
    <message>
        <location line="+103"/>
        <location line="+22"/>
        <source>第 %1 行：轻量多段线的顶点数 %2 不合理。</source>
        <translation>Line %1: the lightweight polyline&apos;s vertex count %2 is not plausible.</translation>
    </message>
    <message>
        <location line="-17"/>
        <source>第 %1 行：轻量多段线声称有 %2 个顶点，而文件只剩 %3 字节，至多容纳 %4 个顶点。</source>
        <translation>Line %1: the lightweight polyline claims %2 vertices, but only %3 bytes of the file remain, enough for at most %4 vertices.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>第 %1 行：轻量多段线在顶点数（组码 90）之前给出了顶点。</source>
        <translation>Line %1: the lightweight polyline gives a vertex before its vertex count (group code 90).</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>超长字符串（读入时已截断）</source>
        <translation>Overlong strings (cut when read)</translation>
    </message>
    <message>
        <location line="+204"/>
        <source>三维多段线或网格 (POLYLINE)</source>
        <translation>3D polylines or meshes (POLYLINE)</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>图纸空间中的实体</source>
        <translation>Entities in paper space</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>不在水平面上的实体</source>
        <translation>Entities not in a horizontal plane</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>无法读取DXF文件“%1”：%2</source>
        <translation>Cannot read DXF file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>这是一个文件夹。</source>
        <translation>This is a folder.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>无法打开文件（%1）。</source>
        <translation>Cannot open the file (%1).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>文件是空的。</source>
        <translation>The file is empty.</translation>
    </message>
    <message>
        <location filename="../cad/dxf_writer.cpp" line="+599"/>
        <source>无法保存DXF文件“%1”：内存不足。</source>
        <translation>Cannot save DXF file &quot;%1&quot;: out of memory.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>%1：%2 个</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>超长文字（保存时截断为前 %1 字节）：%2 个</source>
        <translation>Overlong texts (cut to the first %1 bytes when saved): %2</translation>
    </message>
    <message>
        <location filename="../cad/kml_writer.cpp" line="+44"/>
        <source>坐标远在投影带之外（超出±1e9或纬度超过90°），请检查中央子午线和四参数</source>
        <translation>Coordinates lie far outside the projection zone (beyond ±1e9 or latitude over 90°); check the central meridian and the four parameters</translation>
    </message>
    <message>
        <location line="+55"/>
        <source>第%1个选中的图元无法读取：%2</source>
        <translation>Selected entity no. %1 cannot be read: %2</translation>
    </message>
    <message>
        <location line="+134"/>
        <source>选中的图元中没有可以写入KML的文字或多段线：有%1个对象的坐标远在投影带之外（超出±1e9或纬度超过90°），请检查中央子午线和四参数</source>
        <translation>The selected entities hold no text or polyline that can be written to KML: %1 object(s) lie far outside the projection zone (beyond ±1e9 or latitude over 90°); check the central meridian and the four parameters</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>选中的图元中没有可以写入KML的文字或多段线</source>
        <translation>The selected entities hold no text or polyline that can be written to KML</translation>
    </message>
</context>
<context>
    <name>cli</name>
    <message>
        <location filename="../cli/command_line.cpp" line="+33"/>
        <source>未知的选项 --%1</source>
        <translation>Unknown option --%1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>选项 --%1 不带值</source>
        <translation>Option --%1 takes no value</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>选项 --%1 缺少值</source>
        <translation>Option --%1 needs a value</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>选项 --%1 的值“%2”不是数</source>
        <translation>The value &quot;%2&quot; of option --%1 is not a number</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>keldarn-cli %1：%2</source>
        <translation>keldarn-cli %1: %2</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>用 keldarn-cli %1 --help 查看用法。</source>
        <translation>See keldarn-cli %1 --help for usage.</translation>
    </message>
    <message>
        <location filename="../cli/convert_command.cpp" line="+34"/>
        <source>用法：keldarn-cli convert [--to grid|geo] --meridian 中央子午线 --output 文件 [选项] 输入文件

把文本文件中的点在经纬度与测量坐标之间换算，算法与程序中相同：
  --to grid（缺省）  纬度、经度（度）、高程（米）→ X（北坐标）、Y（东坐标）、H（米）：
                     按中央子午线作高斯–克吕格投影，再作四参数转换，H = 高程 + dH
  --to geo           X、Y、H → 纬度、经度、高程：四参数反算后作高斯反算，高程 = H − dH
输出每行依次为点名（给了 --name-column 时）和换算后的三个值，以逗号分隔，CR LF 换行，
米保留 3 位小数，度保留 9 位小数。输入中的其他列不写入输出；空行跳过。

  --input 文件          输入文件（也可直接写在选项之后）
  --output 文件         输出文件（必填）
  --to grid|geo         换算方向（缺省 grid）
  --meridian 度         中央子午线经度（必填）
  --settings 文件       Keldarn.ini：从 [GEzbzh] 读取四参数，选项优先
  --dx 米 --dy 米 --rot 秒 --scale 比例 --dh 米
                        四参数与高程改正，覆盖 --settings 中的值（缺省都为 0）
  --columns 1,2,3       三个输入值所在的列（从 1 数起）：纬度,经度,高程 或 X,Y,H
  --name-column n       点名所在的列（从 1 数起），原样写在输出的第一列
  --separator 分隔符    输入的分隔符：auto（缺省，按文件在逗号、分号、制表符、空白中判断）、
                        tab、space（连续的空格与制表符）或任意一个字符
  --skip-lines n        跳过开头的 n 行（缺省 0）；其后第一行的数值列若不是数，当作标题跳过
  --encoding 编码       输入的编码：auto（缺省：整个文件是有效的 UTF-8 就按 UTF-8，否则按
                        GB18030）、utf-8 或 gb18030
  --output-encoding 编码
                        输出的编码：utf-8 或 gb18030（缺省与输入相同）
  --quiet               不显示进度
  --help                显示本说明

纬度、经度为十进制度，北纬、东经为正。
退出状态：0 成功，1 输入有误（指明文件与行号），2 读写失败；出错时不改动输出文件。
</source>
        <translation>Usage: keldarn-cli convert [--to grid|geo] --meridian MERIDIAN --output FILE [options] INPUT

Converts the points of a text file between latitude/longitude and survey grid coordinates, as the program does:
  --to grid (default)  latitude, longitude (degrees), elevation (m) → X (northing), Y (easting), H (m):
                       Gauss–Krüger on the central meridian, then the four parameters; H = elevation + dH
  --to geo             X, Y, H → latitude, longitude, elevation: the same steps reversed; elevation = H − dH
Each output line: the point name (with --name-column) and the three converted values, comma-separated, CR LF;
metres to 3 decimals, degrees to 9 decimals. Other input columns are not written; blank lines are skipped.

  --input FILE          input file (may also be given by itself after the options)
  --output FILE         output file (required)
  --to grid|geo         direction of the conversion (default grid)
  --meridian DEG        longitude of the central meridian (required)
  --settings FILE       Keldarn.ini: four parameters from [GEzbzh]; options take precedence
  --dx M --dy M --rot SEC --scale SCALE --dh M
                        four parameters and height correction, overriding --settings (default 0 each)
  --columns 1,2,3       columns of the three input values (from 1): latitude,longitude,elevation or X,Y,H
  --name-column n       column of the point name (from 1), copied as it is into the first output column
  --separator SEP       input separator: auto (default; comma, semicolon, tab or blanks, judged from the file),
                        tab, space (runs of spaces and tabs) or any single character
  --skip-lines n        skip n leading lines (default 0); a following title line (values not numbers) is skipped
  --encoding ENC        input encoding: auto (default: UTF-8 if the whole file is valid UTF-8, otherwise
                        GB18030), utf-8 or gb18030
  --output-encoding ENC
                        output encoding: utf-8 or gb18030 (default: the input&apos;s)
  --quiet               show no progress
  --help                show this help

Latitude and longitude in decimal degrees, north and east positive.
Exit status: 0 success, 1 bad input (file and line named), 2 read or write failure; errors leave the output alone.
</translation>
    </message>
    <message>
        <location line="+79"/>
        <source>--%1 的值应为不小于 %2 的整数，不是“%3”</source>
        <translation>--%1 must be a whole number of at least %2, not &quot;%3&quot;</translation>
    </message>
    <message>
        <location line="+16"/>
        <location line="+13"/>
        <source>--columns 需要三个以逗号分隔的列号，不是“%1”</source>
        <translation>--columns needs three comma-separated column numbers, not &quot;%1&quot;</translation>
    </message>
    <message>
        <location line="-8"/>
        <source>--columns 中的列号不能重复：“%1”</source>
        <translation>The column numbers of --columns must not repeat: &quot;%1&quot;</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>--separator 应为 auto、tab、space 或一个字符，不是“%1”</source>
        <translation>--separator must be auto, tab, space or one character, not &quot;%1&quot;</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>--%1 应为 auto、utf-8 或 gb18030，不是“%2”</source>
        <translation>--%1 must be auto, utf-8 or gb18030, not &quot;%2&quot;</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>--%1 应为 utf-8 或 gb18030，不是“%2”</source>
        <translation>--%1 must be utf-8 or gb18030, not &quot;%2&quot;</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>只能给出一个输入文件</source>
        <translation>Only one input file can be given</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>缺少输入文件（--input 或直接写出文件名）</source>
        <translation>Missing input file (--input, or the file name by itself)</translation>
    </message>
    <message>
        <location filename="../cli/contours_command.cpp" line="+32"/>
        <source>用法：keldarn-cli contours --terrain 地形 --meridian 中央子午线 --interval 等高距
                           (--bbox 南,西,北,东 | --kml 区域.kml) --output 文件.dxf [选项]

在区域内生成等高线，画入新建的图形并存为 DXF 文件，与程序中“等高线到CAD图形...”画入
新建CAD图形后保存的文件相同：首曲线在图层“首曲线”，每五条一条计曲线在图层“计曲线”并注记
高程，多段线的标高为等高线的高程（测量高程，已加高程改正）。

  --terrain 地形        DEM 文件、分幅文件夹、.zip、VRT 或 http(s) 网址；缺省取 --settings 中的
  --settings 文件       Keldarn.ini：四参数 [GEzbzh]、椭球与分带 [Projection] 与地形 [Terrain]
  --meridian 度         中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例 --dh 米
                        四参数与高程改正，覆盖 --settings 中的值
  --interval 米         等高距（必填，&gt; 0）
  --bbox 南,西,北,东    以纬度、经度（度）给出的区域
  --kml 文件            KML/KMZ 中的多边形（闭合的坐标串），内环为洞；有多个时取第一个
  --name 名称           取 --kml 中名为此名的多边形
  --output 文件         输出的 DXF 文件（必填）
  --quiet               不显示进度和结果
  --help                显示本说明

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
</source>
        <translation>Usage: keldarn-cli contours --terrain TERRAIN --meridian MERIDIAN --interval INTERVAL
                           (--bbox S,W,N,E | --kml AREA.kml) --output FILE.dxf [options]

Generates contours inside an area into a new drawing saved as DXF, the same file as &quot;Contours to CAD Drawing...&quot;
into a new CAD drawing, then saving: intermediate contours on the layer &quot;首曲线&quot;, every fifth an index contour on
the layer &quot;计曲线&quot; labelled with its elevation; polyline elevation = contour elevation (height correction applied).

  --terrain TERRAIN     DEM file, tile folder, .zip, VRT or http(s) URL; by default the one in --settings
  --settings FILE       Keldarn.ini: four parameters [GEzbzh], ellipsoid and zones [Projection], terrain [Terrain]
  --meridian DEG        longitude of the central meridian (required)
  --dx M --dy M --rot SEC --scale SCALE --dh M
                        four parameters and height correction, overriding --settings
  --interval M          contour interval (required, &gt; 0)
  --bbox S,W,N,E        area by latitude and longitude (degrees)
  --kml FILE            a polygon (closed coordinate string) in a KML/KMZ, inner rings are holes; the first of several
  --name NAME           the polygon of --kml with this name
  --output FILE         the output DXF file (required)
  --quiet               show no progress and no result
  --help                show this help

Exit status: 0 success, 1 bad input, 2 read or write failure (the output file is then left unchanged).
</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>区域要用 --bbox 或 --kml 之一给出</source>
        <translation>Give the area with either --bbox or --kml</translation>
    </message>
    <message>
        <location filename="../cli/kml_read_limits.cpp" line="+44"/>
        <source>%1 中没有名为“%2”的多边形</source>
        <translation>%1 has no polygon named “%2”</translation>
    </message>
    <message>
        <location filename="../cli/contours_command.cpp" line="+14"/>
        <location filename="../cli/profile_command.cpp" line="+164"/>
        <source>缺少 --interval，或间距不大于 0</source>
        <translation>--interval is missing or not above 0</translation>
    </message>
    <message>
        <location line="+4"/>
        <location filename="../cli/convert_command.cpp" line="+2"/>
        <location filename="../cli/points2dxf_command.cpp" line="+52"/>
        <location filename="../cli/profile_command.cpp" line="+15"/>
        <location filename="../cli/sample_command.cpp" line="+251"/>
        <source>缺少 --output（输出文件）</source>
        <translation>Missing --output (the output file)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>等高线</source>
        <translation>Contours</translation>
    </message>
    <message>
        <location filename="../cli/convert_command.cpp" line="+4"/>
        <source>--to 只能是 grid（经纬度→测量坐标）或 geo（测量坐标→经纬度），不是“%1”</source>
        <translation>--to must be grid (latitude/longitude → survey grid coordinates) or geo (survey grid coordinates → latitude/longitude), not &quot;%1&quot;</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>--name-column 不能是 --columns 中的列</source>
        <translation>--name-column cannot be one of the --columns</translation>
    </message>
    <message>
        <location filename="../cli/sample_command.cpp" line="+187"/>
        <source>无法读取文件 %1</source>
        <translation>Cannot read file %1</translation>
    </message>
    <message>
        <location filename="../cli/convert_command.cpp" line="+17"/>
        <source>%1 第 %2 行：不是有效的 UTF-8 文本；GB18030（GBK）编码的文件请用 --encoding gb18030 或 auto</source>
        <translation>%1, line %2: not valid UTF-8 text; for a file in GB18030 (GBK) use --encoding gb18030 or auto</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 第 %2 行：不是有效的 GB18030 文本</source>
        <translation>%1, line %2: not valid GB18030 text</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 第 %2 行：既不是有效的 UTF-8 也不是有效的 GB18030 文本</source>
        <translation>%1, line %2: neither valid UTF-8 nor valid GB18030 text</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>只有 %1 列，没有第 %2 列</source>
        <translation>only %1 column(s), no column %2</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>第 %1 列“%2”不是数</source>
        <translation>column %1 &quot;%2&quot; is not a number</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>转换</source>
        <translation>Converting</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>第 %1 行当作标题跳过了：%2</source>
        <translation>line %1 was skipped as a title: %2</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 第 %2 行：%3：%4</source>
        <translation>%1, line %2: %3: %4</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 第 %2 行：纬度不在 −90 到 90 度之间（列的顺序是否有误？）：%3</source>
        <translation>%1, line %2: latitude not between −90 and 90 degrees (wrong column order?): %3</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%1 第 %2 行：没有点名所在的第 %3 列：%4</source>
        <translation>%1, line %2: no column %3 for the point name: %4</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 第 %2 行：点名中有逗号，而输出以逗号分隔：%3</source>
        <translation>%1, line %2: the point name holds a comma, but the output is comma-separated: %3</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>%1 第 %2 行：坐标超出可换算的范围：%3</source>
        <translation>%1, line %2: coordinates outside the range that can be converted: %3</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>%1：没有可换算的点，没有写出文件</source>
        <translation>%1: no points to convert; no file was written</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1：没有可换算的点，没有写出文件（%2）</source>
        <translation>%1: no points to convert; no file was written (%2)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>已换算 %1 个点，写入 %2</source>
        <translation>Converted %1 point(s) and wrote them to %2</translation>
    </message>
    <message>
        <location filename="../cli/kml_commands.cpp" line="+38"/>
        <source>用法：keldarn-cli kml2dxf --meridian 中央子午线 (--output 文件.dxf | --output-dir 文件夹) [选项] 输入...

把 KML/KMZ 文件绘成图形并存为 DXF 文件，与程序中“KML文件转为CAD图形”后在图形窗口保存的
文件相同：只有一个顶点的坐标画成点（地标有名称时在同一位置注记名称），多个顶点的画成多段线。
经纬度按中央子午线投影并经四参数转换；图形的 x 是东坐标 Y，y 是北坐标 X，单位米。

  输入                  .kml 或 .kmz 文件，或文件夹（取其中直接包含的全部 .kml、.kmz 文件）
  --settings 文件       Keldarn.ini：四参数 [GEzbzh]，选项优先
  --meridian 度         中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例
                        四参数，覆盖 --settings 中的值
  --text-height 米      名称注记的字高（缺省 3，即新建图形中程序所用的 3 × LTSCALE）
  --output 文件         输出的 DXF 文件（只有一个输入文件时）
  --output-dir 文件夹   每个输入写成此文件夹中同名的 .dxf 文件；文件夹不存在时创建
  --quiet               不显示每个文件的结果
  --help                显示本说明

KML 文件中没有可绘制的点或线时给出警告，不写出文件。多个输入按顺序转换，遇到错误即停止，
此前已写出的文件保留。
退出状态：0 成功，1 输入有误，2 读写失败（此时不改动出错的输出文件）。
</source>
        <translation>Usage: keldarn-cli kml2dxf --meridian MERIDIAN (--output FILE.dxf | --output-dir FOLDER) [options] INPUT...

Draws KML/KMZ files and saves them as DXF files, like &quot;KML File to CAD Drawing&quot; then saving in the drawing window:
coordinates with one vertex become points (labelled with the placemark&apos;s name, if any), longer ones polylines.
Projection on the central meridian, then the four parameters; drawing x is easting Y, y is northing X, in metres.

  INPUT                 .kml or .kmz files, or folders (all .kml and .kmz files directly inside them)
  --settings FILE       Keldarn.ini: four parameters [GEzbzh]; options take precedence
  --meridian DEG        longitude of the central meridian (required)
  --dx M --dy M --rot SEC --scale SCALE
                        four parameters, overriding --settings
  --text-height M       text height of the name labels (default 3, the program&apos;s 3 × LTSCALE in a new drawing)
  --output FILE         the output DXF file (with a single input file only)
  --output-dir FOLDER   write each input as a .dxf file of the same name in this folder; created if missing
  --quiet               do not show the result of each file
  --help                show this help

A KML file with nothing to draw gives a warning and no file. Inputs are converted in order, up to the first error;
files already written are kept.
Exit status: 0 success, 1 bad input, 2 read or write failure (the failing output file is then left unchanged).
</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>用法：keldarn-cli dxf2kml --meridian 中央子午线 --output 文件.kml [选项] 文件.dxf

把 DXF 图形中全部单行文字和轻量多段线写成 KML 文件，与在图形窗口中打开该文件、用
“CAD图形转为KML文件”选中整个图形时写出的文件相同：文字成为以文字命名的点，闭合的多段线
成为多边形（Region1、Region2…），其余成为线（Line1、Line2…）。图形坐标经反向四参数转换和
中央子午线上的反投影得到经纬度。

  --settings 文件       Keldarn.ini：四参数 [GEzbzh]，选项优先
  --meridian 度         中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例
                        四参数，覆盖 --settings 中的值
  --output 文件         输出的 KML 文件（必填）
  --quiet               不显示结果
  --help                显示本说明

图形中没有文字或多段线时给出警告，不写出文件。
退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
</source>
        <translation>Usage: keldarn-cli dxf2kml --meridian MERIDIAN --output FILE.kml [options] FILE.dxf

Writes all single-line texts and lightweight polylines of a DXF drawing to a KML file, as the drawing window
does with &quot;CAD Drawing to KML File&quot; on the whole drawing: texts become points named by the text, closed polylines
become polygons (Region1, Region2, ...), the others lines (Line1, Line2, ...). The reverse four parameters and the
inverse projection on the central meridian turn the drawing&apos;s coordinates into latitude/longitude.

  --settings FILE       Keldarn.ini: four parameters [GEzbzh]; options take precedence
  --meridian DEG        longitude of the central meridian (required)
  --dx M --dy M --rot SEC --scale SCALE
                        four parameters, overriding --settings
  --output FILE         the output KML file (required)
  --quiet               show no result
  --help                show this help

A drawing without texts or polylines gives a warning and no file.
Exit status: 0 success, 1 bad input, 2 read or write failure (the output file is then left unchanged).
</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>keldarn-cli %1：警告：%2</source>
        <translation>keldarn-cli %1: warning: %2</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>没有给出要转换的 KML/KMZ 文件或文件夹</source>
        <translation>No KML/KMZ file or folder to convert was given</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+121"/>
        <location filename="../cli/kml_read_limits.cpp" line="-14"/>
        <location filename="../cli/points2dxf_command.cpp" line="+3"/>
        <location filename="../cli/sample_command.cpp" line="-300"/>
        <location line="+295"/>
        <source>找不到输入文件 %1</source>
        <translation>Input file %1 not found</translation>
    </message>
    <message>
        <location line="-111"/>
        <source>无法读取文件夹 %1：%2</source>
        <translation>Cannot read folder %1: %2</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>文件夹 %1 中没有 .kml 或 .kmz 文件</source>
        <translation>Folder %1 holds no .kml or .kmz file</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>--output 与 --output-dir 只能给出一个</source>
        <translation>Give only one of --output and --output-dir</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>--output 的文件名是空的</source>
        <translation>The file name of --output is empty</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>有 %1 个输入文件，请用 --output-dir 给出输出文件夹</source>
        <translation>There are %1 input files; give an output folder with --output-dir</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>缺少 --output（输出文件）或 --output-dir（输出文件夹）</source>
        <translation>Missing --output (output file) or --output-dir (output folder)</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>有两个输入都会写成 %1，请分开转换</source>
        <translation>Two inputs would both be written as %1; convert them separately</translation>
    </message>
    <message>
        <location line="+19"/>
        <location line="+3"/>
        <location line="+74"/>
        <location line="+2"/>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location line="-74"/>
        <source>%1：%2没有写出文件。</source>
        <translation>%1: %2 No file was written.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 不能保存图形中的以下内容：%2</source>
        <translation>%1 cannot hold the following content of the drawing: %2</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>%1 → %2：点 %3 个，多段线 %4 条</source>
        <translation>%1 → %2: %3 point(s), %4 polyline(s)</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>--text-height 应大于 0</source>
        <translation>--text-height must be greater than 0</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>无法创建输出文件夹 %1：%2</source>
        <translation>Cannot create output folder %1: %2</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>没有给出要转换的 DXF 文件</source>
        <translation>No DXF file to convert was given</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>一次只能转换一个 DXF 文件</source>
        <translation>Only one DXF file can be converted at a time</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>缺少 --output（输出的 KML 文件）</source>
        <translation>Missing --output (the KML file to write)</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>%1：图形中没有单行文字或轻量多段线，没有写出文件。</source>
        <translation>%1: the drawing has no single-line texts or lightweight polylines; no file was written.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 → %2：地标 %3 个</source>
        <translation>%1 → %2: %3 placemark(s)</translation>
    </message>
    <message>
        <location filename="../cli/main.cpp" line="+29"/>
        <source>用法：keldarn-cli 子命令 [选项]

子命令：
  sample    在测区内按测量坐标格网采集高程，写入导出格式（.dat）或 CSV
  merge     把 sample --part 分份运行的结果合并为一个文件
  convert   把文本文件中的点在经纬度与测量坐标之间换算
  profile   沿路线取纵断面，写成导出格式（.dat）、CSV 或纵断面图（.svg）
  contours  在区域内生成等高线，存为 DXF 文件（同“等高线到CAD图形...”后保存）
  points2dxf 把点文件中的点作为高程点存为 DXF 文件（同“高程点到CAD图形”后保存）
  kml2dxf   把 KML/KMZ 文件绘成图形，存为 DXF 文件（同“KML文件转为CAD图形”后保存）
  dxf2kml   把 DXF 图形中的文字和多段线写成 KML 文件（同“CAD图形转为KML文件”）

各子命令的选项：keldarn-cli 子命令 --help
退出状态：0 成功，1 输入有误，2 读写失败。
</source>
        <translation>Usage: keldarn-cli SUBCOMMAND [options]

Subcommands:
  sample    sample elevations on a survey grid inside a survey area; write the export format (.dat) or CSV
  merge     merge the results of a run split into parts with sample --part into one file
  convert   convert the points of a text file between latitude/longitude and survey grid coordinates
  profile   take a longitudinal profile along a route; write the export format (.dat), CSV or a profile chart (.svg)
  contours  generate contours inside an area and save them as a DXF file (as &quot;Contours to CAD Drawing...&quot;, then saving)
  points2dxf save the points of a point file as elevation points in a DXF file (as &quot;Elevation Points to CAD Drawing&quot;, then saving)
  kml2dxf   draw KML/KMZ files and save them as DXF files (as &quot;KML File to CAD Drawing&quot;, then saving)
  dxf2kml   write the texts and polylines of a DXF drawing as a KML file (as &quot;CAD Drawing to KML File&quot;)

Options of a subcommand: keldarn-cli SUBCOMMAND --help
Exit status: 0 success, 1 bad input, 2 read or write failure.
</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>keldarn-cli：未知的子命令“%1”</source>
        <translation>keldarn-cli: unknown subcommand &quot;%1&quot;</translation>
    </message>
    <message>
        <location filename="../cli/point_output.cpp" line="+40"/>
        <source>--format 只能是 dat 或 csv，不是“%1”</source>
        <translation>--format must be dat or csv, not &quot;%1&quot;</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>--fields 的值“%1”中有不是 0–4 的字段：0点名 1描述 2X坐标 3Y坐标 4高程H</source>
        <translation>The value &quot;%1&quot; of --fields has a field other than 0–4: 0 name 1 description 2 X 3 Y 4 elevation H</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>--fields 至少要选一个字段</source>
        <translation>--fields must choose at least one field</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>--separator 只能是一个字符或空，不是“%1”</source>
        <translation>--separator must be one character or empty, not &quot;%1&quot;</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>CSV 文件的分隔符总是逗号；其他分隔符请用 --format dat</source>
        <translation>The separator of a CSV file is always a comma; for other separators use --format dat</translation>
    </message>
    <message>
        <location filename="../cli/progress.cpp" line="+27"/>
        <source>%1时%2分</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1分%2秒</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <location line="+37"/>
        <source>%1/秒</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>剩余 %1</source>
        <translation>%1 left</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>用时 %1</source>
        <translation>elapsed %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>等待数据 %1</source>
        <translation>waiting for data %1</translation>
    </message>
    <message>
        <location filename="../cli/sample_command.cpp" line="-389"/>
        <source>用法：keldarn-cli sample --terrain 地形 --meridian 中央子午线 --spacing 间距
                         (--bbox 南,西,北,东 | --boundary 边界文件 | --kml 多边形) --output 文件 [选项]

在测区内按测量坐标的整数倍格网（X、Y 都是间距的整数倍，已经过四参数转换）采集高程，
逐行（由北向南，每行由西向东）写入文件。高程取自地形数据的原始分辨率，与程序中取点相同。

  --terrain 地形        DEM 文件、分幅文件夹、.zip、VRT 或 http(s) 网址；缺省取 --settings 中的
  --settings 文件       Keldarn.ini：四参数 [GEzbzh] 与地形 [Terrain]，选项优先
  --meridian 度         中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例 --dh 米
                        四参数与高程改正，覆盖 --settings 中的值
  --spacing 米          格网间距（必填，&gt; 0）
  --bbox 南,西,北,东    以纬度、经度（度）给出的测区
  --boundary 文件       以测量坐标给出的测区边界：每行 &quot;X,Y&quot;（或以空格、制表符分隔）
  --kml 文件            以 KML/KMZ 中的多边形（闭合的坐标串）给出的测区；内环为洞
  --output 文件         输出文件；扩展名 .csv 写 CSV（UTF-8），否则写导出格式（GB18030，CR LF）
  --format dat|csv      输出格式，覆盖扩展名的判断
  --fields 0,1,3,2,4    导出字段及顺序：0点名 1描述 2X坐标 3Y坐标 4高程H（缺省同程序的导出）
  --separator ,         导出分隔符（一个字符或空，缺省逗号）
  --part i/n            只做 n 份中的第 i 份（1..n，按格网行分成连续的带）；用 merge 合并。
                        输出文件写好后，在其旁写出分份说明“输出文件.part”（第几份、哪次运行、
                        行数、字节数和校验和），merge 凭它核对各份
  --threads n           使用的线程数（缺省为 CPU 核数）
  --force               允许超过 10 亿个候选点的测区
  --quiet               不显示进度
  --help                显示本说明

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
</source>
        <translation>Usage: keldarn-cli sample --terrain TERRAIN --meridian MERIDIAN --spacing SPACING
                          (--bbox S,W,N,E | --boundary BOUNDARY | --kml POLYGONS) --output FILE [options]

Samples elevations in the survey area on the survey grid coordinates that are whole multiples of the spacing
(after the four parameters), row by row (north to south, west to east), at the terrain&apos;s native resolution.

  --terrain TERRAIN     DEM file, tile folder, .zip, VRT or http(s) URL; by default the one in --settings
  --settings FILE       Keldarn.ini: four parameters [GEzbzh] and terrain [Terrain]; options take precedence
  --meridian DEG        longitude of the central meridian (required)
  --dx M --dy M --rot SEC --scale SCALE --dh M
                        four parameters and height correction, overriding --settings
  --spacing M           grid spacing (required, &gt; 0)
  --bbox S,W,N,E        survey area by latitude and longitude (degrees)
  --boundary FILE       survey area boundary in survey grid coordinates: &quot;X,Y&quot; per line (or space/tab separated)
  --kml FILE            survey area as polygons (closed coordinate strings) in a KML/KMZ; inner rings are holes
  --output FILE         output file; .csv writes CSV (UTF-8), anything else the export format (GB18030, CR LF)
  --format dat|csv      output format, overriding the extension
  --fields 0,1,3,2,4    fields in order: 0 name 1 description 2 X 3 Y 4 elevation H (default: as the export)
  --separator ,         export separator (one character or empty; default comma)
  --part i/n            do only part i of n (1..n, contiguous bands of grid rows); join them with merge.
                        Once the output is written, a side file &quot;OUTPUT.part&quot; is written beside it (part
                        number, run, rows, bytes and checksum), by which merge checks the parts
  --threads n           number of threads (default: the number of CPU cores)
  --force               allow survey areas of more than 1 billion candidate points
  --quiet               show no progress
  --help                show this help

Exit status: 0 success, 1 bad input, 2 read or write failure (the output file is then left unchanged).
</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>用法：keldarn-cli merge --output 文件 [--format dat|csv] [--fields ...] [--separator ...] 第1份 第2份 ... 第n份

把 sample --part i/n 的各份结果按顺序合并为一次运行所写的文件（点名重新连续编号）。
格式选项必须与生成各份时相同。每一份旁须有 sample 写出的分份说明（文件名加 .part）。
合并前逐一核对，有下列情况时不合并，说明是哪个文件、什么原因，退出状态为 1：
  - 缺少分份说明，或文件的字节数、校验和与说明不符（不完整或在 sample 之后被改动过）；
  - 各份不是同一次运行的（地形、测区、间距、中央子午线、四参数、格式或份数不同）；
  - 缺少某一份，或某一份给出了两次；
  - 各份不是按第 1 份到第 n 份的顺序给出（shell 的 part*.dat 会把 part10 排在 part2 之前）；
  - 某一行不能按这一格式读出（给出行号）。

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
</source>
        <translation>Usage: keldarn-cli merge --output FILE [--format dat|csv] [--fields ...] [--separator ...] PART1 PART2 ... PARTn

Joins the parts written by sample --part i/n, in order, into the file a single run writes (names renumbered).
The format options must be the same as those the parts were written with. Each part needs the side file that sample writes beside it (its name plus .part).
Every part is checked first; the merge is refused, naming the file and the reason, with exit status 1, when:
  - a side file is missing, or the part&apos;s size or checksum differ from it (incomplete, or changed after sample);
  - the parts are not of one run (terrain, area, spacing, meridian, parameters, format or part count differ);
  - a part is missing or given twice;
  - the parts are not given in order 1 to n (a shell&apos;s part*.dat puts part10 before part2);
  - a line does not read in the format (its number is given).

Exit status: 0 success, 1 bad input, 2 read or write failure (the output file is then left unchanged).
</translation>
    </message>
    <message>
        <location filename="../cli/command_line.cpp" line="-41"/>
        <source>--%1 的值“%2”中“%3”不是数</source>
        <translation>In the value &quot;%2&quot; of --%1, &quot;%3&quot; is not a number</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>--%1 需要 %2 个以逗号分隔的数，不是“%3”</source>
        <translation>--%1 needs %2 comma-separated numbers, not &quot;%3&quot;</translation>
    </message>
    <message>
        <location filename="../cli/grid_point_file.cpp" line="+34"/>
        <source>%1 第 %2 行：应为 &quot;X,Y&quot; 两个数，而不是“%3”</source>
        <translation>%1, line %2: expected two numbers &quot;X,Y&quot;, not &quot;%3&quot;</translation>
    </message>
    <message>
        <location filename="../cli/sample_command.cpp" line="+36"/>
        <source>%1：边界至少要有 3 个点</source>
        <translation>%1: the boundary needs at least 3 points</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>%1 中没有多边形（闭合的坐标串），无法作为测区</source>
        <translation>%1 has no polygon (closed coordinate string) to serve as the survey area</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>--part 的值应为 i/n（1 ≤ i ≤ n），不是“%1”</source>
        <translation>The value of --part must be i/n (1 ≤ i ≤ n), not &quot;%1&quot;</translation>
    </message>
    <message>
        <location filename="../cli/survey_frame.cpp" line="+32"/>
        <source>缺少 --terrain（地形数据），设置文件中也没有</source>
        <translation>Missing --terrain (the terrain data), and the settings file has none either</translation>
    </message>
    <message>
        <location filename="../cli/sample_command.cpp" line="+79"/>
        <source>缺少 --spacing，或间距不大于 0</source>
        <translation>Missing --spacing, or the spacing is not greater than 0</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>测区要用 --bbox、--boundary 或 --kml 三者之一给出</source>
        <translation>Give the survey area with exactly one of --bbox, --boundary and --kml</translation>
    </message>
    <message>
        <location filename="../cli/command_line.cpp" line="+11"/>
        <source>--bbox 应为 南,西,北,东（度），且南 &lt; 北、西 &lt; 东</source>
        <translation>--bbox must be S,W,N,E (degrees) with S &lt; N and W &lt; E</translation>
    </message>
    <message>
        <location filename="../cli/sample_command.cpp" line="+40"/>
        <source>测区内约有 %1 个格网点，超过 10 亿；确需如此请加 --force，或加大间距、用 --part 分份</source>
        <translation>The survey area holds about %1 grid points, more than 1 billion; if this is really wanted add --force, or increase the spacing or split the run with --part</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>采样</source>
        <translation>Sampling</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>%1
已停止，输出文件未改动。</source>
        <translation>%1
Stopped; the output file was not changed.</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>测区在地形数据范围之外，没有写出文件。地形数据范围：纬度 %1 至 %2，经度 %3 至 %4</source>
        <translation>The area lies outside the terrain data; no file was written. The terrain data covers latitudes %1 to %2 and longitudes %3 to %4</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>测区内的 %1 个格网点都没有高程（在地形数据范围之外或是数据空洞），没有写出文件</source>
        <translation>None of the %1 grid points in the survey area has an elevation (outside the terrain data or in voids); no file was written</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>测区内没有格网点（测区太小或间距太大），没有写出文件</source>
        <translation>The survey area holds no grid points (area too small or spacing too large); no file was written</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>已写出 %1 个点到 %2；%3 个格网点没有高程（数据范围之外或数据空洞），未写出</source>
        <translation>Wrote %1 point(s) to %2; %3 grid point(s) had no elevation (outside the data or in voids) and were not written</translation>
    </message>
    <message>
        <location filename="../cli/profile_command.cpp" line="-143"/>
        <source>用法：keldarn-cli profile --terrain 地形 --meridian 中央子午线 --interval 间距
                          (--kml 路线.kml | --route 路线文件) --output 文件 [选项]

沿路线取纵断面，与程序中“纵断面...”相同：每个顶点和顶点之间里程为间距整数倍的点，
高程取自地形数据的原始分辨率。按输出文件的扩展名写出：
  .dat  程序的导出格式（同“加入点表”后导出：点名为里程，描述为路线名，GB18030，CR LF）
  .csv  同样的字段，带标题行，UTF-8
  .svg  纵断面图（同纵断面窗口的“保存SVG...”），.png 为位图

  --terrain 地形          DEM 文件、分幅文件夹、.zip、VRT 或 http(s) 网址；缺省取 --settings 中的
  --settings 文件         Keldarn.ini：四参数 [GEzbzh]、椭球与分带 [Projection] 与地形 [Terrain]
  --meridian 度           中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例 --dh 米
                          四参数与高程改正，覆盖 --settings 中的值
  --interval 米           采样间距（必填，&gt; 0）
  --kml 文件              KML/KMZ 中的路径（两个顶点以上的线）；有多条时取第一条
  --name 名称             取 --kml 中名为此名的路径
  --route 文件            以测量坐标给出的路线：每行 &quot;X,Y&quot;（或以空格、制表符分隔）
  --chainage plane|ellipsoid
                          里程按测量平面（缺省）或椭球面计算
  --start-chainage 里程   第一个顶点的里程，如 K1+250.5 或 1250.5（缺省 K0+000）
  --fields 0,1,3,2,4      导出字段及顺序：0点名 1描述 2X坐标 3Y坐标 4高程H（缺省同程序的导出）
  --separator ,           导出分隔符（一个字符或空，缺省逗号）
  --size 宽x高            纵断面图的大小（像素，缺省 960x480）
  --output 文件           输出文件（必填）
  --quiet                 不显示进度和结果
  --help                  显示本说明

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
</source>
        <translation>Usage: keldarn-cli profile --terrain TERRAIN --meridian MERIDIAN --interval INTERVAL
                          (--kml ROUTE.kml | --route ROUTE_FILE) --output FILE [options]

Takes a longitudinal profile along a route, as &quot;Longitudinal Profile...&quot;: every vertex and the points at whole multiples
of the interval in chainage, elevations at the terrain&apos;s native resolution. Written by the output file&apos;s extension:
  .dat  the export format (as &quot;Add to Point Table&quot;, then exporting: name = chainage, description = route, GB18030, CR LF)
  .csv  the same fields with a title line, UTF-8
  .svg  the profile chart (as &quot;Save SVG...&quot; in the profile window); .png for a bitmap

  --terrain TERRAIN       DEM file, tile folder, .zip, VRT or http(s) URL; by default the one in --settings
  --settings FILE         Keldarn.ini: four parameters [GEzbzh], ellipsoid and zones [Projection], terrain [Terrain]
  --meridian DEG          longitude of the central meridian (required)
  --dx M --dy M --rot SEC --scale SCALE --dh M
                          four parameters and height correction, overriding --settings
  --interval M            sampling interval (required, &gt; 0)
  --kml FILE              a path (a line of two vertices or more) in a KML/KMZ; the first of several
  --name NAME             the path of --kml with this name
  --route FILE            the route in survey grid coordinates: &quot;X,Y&quot; per line (or space/tab separated)
  --chainage plane|ellipsoid
                          chainage on the survey plane (default) or on the ellipsoid
  --start-chainage K      chainage of the first vertex, e.g. K1+250.5 or 1250.5 (default K0+000)
  --fields 0,1,3,2,4      fields in order: 0 name 1 description 2 X 3 Y 4 elevation H (default: as the export)
  --separator ,           export separator (one character or empty; default comma)
  --size WxH              size of the profile chart (pixels, default 960x480)
  --output FILE           output file (required)
  --quiet                 show no progress and no result
  --help                  show this help

Exit status: 0 success, 1 bad input, 2 read or write failure (the output file is then left unchanged).
</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>--size 应为 宽x高（像素，1 至 20000），不是“%1”</source>
        <translation>--size must be WIDTHxHEIGHT (pixels, 1 to 20000), not “%1”</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>路线要用 --kml 或 --route 之一给出</source>
        <translation>Give the route with either --kml or --route</translation>
    </message>
    <message>
        <location filename="../cli/kml_read_limits.cpp" line="+15"/>
        <source>%1 中没有名为“%2”的路径</source>
        <translation>%1 has no path named “%2”</translation>
    </message>
    <message>
        <location filename="../cli/profile_command.cpp" line="+17"/>
        <source>路线名“%1”中含有分隔符“%2”，请用 --separator 另选分隔符</source>
        <translation>The route name “%1” contains the separator “%2”; choose another with --separator</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>无法写入文件“%1”。</source>
        <translation>Cannot write the file &quot;%1&quot;.</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>--chainage 只能是 plane 或 ellipsoid，不是“%1”</source>
        <translation>--chainage must be plane or ellipsoid, not “%1”</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>起始里程“%1”无法识别，请写成 K1+250.5 或 1250.5 的形式。</source>
        <translation>Start chainage &quot;%1&quot; is not recognised; write it as K1+250.5 or 1250.5.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>--output 的扩展名应为 .dat、.csv、.svg 或 .png，不是“%1”</source>
        <translation>--output must end in .dat, .csv, .svg or .png, not “%1”</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>纵断面</source>
        <translation>Longitudinal Profile</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>路线上没有一个点有地形数据（在地形数据范围之外或是数据空洞），没有写出文件</source>
        <translation>No point of the route has terrain data (outside the data or in voids); no file was written</translation>
    </message>
    <message>
        <location line="+5"/>
        <location filename="../cli/sample_command.cpp" line="+3"/>
        <source>已写出 %1 个点到 %2</source>
        <translation>Wrote %1 point(s) to %2</translation>
    </message>
    <message>
        <location filename="../cli/sample_command.cpp" line="+30"/>
        <source>%1 有 %2 字节，而分份说明记载 %3 字节：这一份不完整或在 sample 之后被改动过</source>
        <translation>%1 has %2 bytes, but its side file records %3: the part is incomplete or was changed after sample</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>%1 与 %2 不是同一次运行的分份（sample 的选项或份数不同），不能合并</source>
        <translation>%1 and %2 are not parts of the same run (different sample options or part count); they cannot be merged</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 的格式是 --format %2 --fields %3（分隔符 %4），而合并所用的是 --format %5 --fields %6（分隔符 %7）；请给出与 sample 相同的格式选项</source>
        <translation>%1 was written with --format %2 --fields %3 (separator %4), but the merge uses --format %5 --fields %6 (separator %7); give the same format options as to sample</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>%1 与 %2 都是第 %3 份，一份只能给出一次</source>
        <translation>%1 and %2 are both part %3; each part may be given only once</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%1 所属的运行共 %2 份，缺少第 %3 份</source>
        <translation>The run of %1 has %2 parts; part %3 is missing</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>%1 是第 %2 份，却给在第 %3 个位置；请按顺序给出各份：%4</source>
        <translation>%1 is part %2 but was given in position %3; give the parts in order: %4</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>含有数字、“.”、“-”和分隔符以外的字符</source>
        <translation>contains characters other than digits, “.”, “-” and the separator</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>有 %1 个字段，应有 %2 个</source>
        <translation>has %1 fields instead of %2</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>第 %1 个字段（点名）应为正整数</source>
        <translation>field %1 (the name) should be a positive whole number</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>第 %1 个字段（描述）应为空</source>
        <translation>field %1 (the description) should be empty</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>第 %1 个字段应为数</source>
        <translation>field %1 should be a number</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>缺少 --output（合并后的文件）</source>
        <translation>Missing --output (the merged file)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>没有给出要合并的文件</source>
        <translation>No files to merge were given</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>分隔符为空或是数字、“.”、“-”时无法找出点名字段，不能重新编号；请用其他分隔符分份</source>
        <translation>With no separator, or a digit, “.” or “-” as the separator, the name field cannot be found and the points cannot be renumbered; split the run with another separator</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>合并</source>
        <translation>Merging</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>%1 第 %2 行读不出：%3</source>
        <translation>%1 line %2 does not read: %3</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>应为标题行“%1”</source>
        <translation>should be the title line “%1”</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>行尾应为 %1</source>
        <translation>the line should end with %1</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>%1 的内容与分份说明 %2 不符：这一份在 sample 之后被改动过</source>
        <translation>The content of %1 does not match its side file %2: the part was changed after sample</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 有 %2 个点行，而分份说明记载 %3 个</source>
        <translation>%1 has %2 point lines, but its side file records %3</translation>
    </message>
    <message>
        <location filename="../cli/survey_frame.cpp" line="-16"/>
        <source>找不到设置文件 %1</source>
        <translation>Settings file %1 not found</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>缺少 --meridian（中央子午线经度）</source>
        <translation>Missing --meridian (the longitude of the central meridian)</translation>
    </message>
    <message>
        <location line="+5"/>
        <location line="+27"/>
        <source>--meridian：%1</source>
        <translation>--meridian: %1</translation>
    </message>
    <message>
        <location line="-15"/>
        <source>四参数：%1</source>
        <translation>Four parameters: %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>四参数：尺度比例 m 为 −1，无法换算</source>
        <translation>Four parameters: the scale m is −1, so no conversion is possible</translation>
    </message>
    <message>
        <location filename="../cli/part_manifest.cpp" line="+32"/>
        <source>%1：没有分份说明文件 %2，它不是 sample --part 写出的一份（或说明文件已丢失）</source>
        <translation>%1: there is no side file %2; it is not a part written by sample --part (or its side file was lost)</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>%1 不是 sample --part 写出的分份说明文件</source>
        <translation>%1 is not a side file written by sample --part</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>分份说明文件 %1 中 %2 的值“%3”读不出</source>
        <translation>In the side file %1, the value “%3” of %2 does not read</translation>
    </message>
    <message>
        <location filename="../cli/points2dxf_command.cpp" line="-32"/>
        <source>用法：keldarn-cli points2dxf --input 点文件 --output 文件.dxf [选项]

把点文件中的点作为高程点画入新建的图形并存为 DXF 文件，与程序中导入该文件后用
“高程点到CAD图形”画入新建CAD图形、保存的文件相同：图层“高程点”，点的标高为高程，
右侧注记高程（两位小数）。点文件按导出格式读取（同“导入数据...”）；X、Y 或 H 不是数字的
行不画入。

  --input 文件          点文件（必填），字段与分隔符同导出
  --fields 0,1,3,2,4    文件的字段及顺序：0点名 1描述 2X坐标 3Y坐标 4高程H（缺省同程序的导出）
  --separator ,         文件的分隔符（一个字符，缺省逗号）
  --output 文件         输出的 DXF 文件（必填）
  --quiet               不显示结果
  --help                显示本说明

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
</source>
        <translation>Usage: keldarn-cli points2dxf --input POINT_FILE --output FILE.dxf [options]

Draws the points of a point file as elevation points into a new drawing and saves it as a DXF file, the same file as
importing the file in the program, then &quot;Elevation Points to CAD Drawing&quot; into a new CAD drawing and saving: layer
&quot;高程点&quot;, each point at its elevation, labelled with the elevation (two decimals) on its right. The point file is
read in the export format (as &quot;Import Data...&quot;); rows whose X, Y or H is not a number are not drawn.

  --input FILE          the point file (required), with the fields and separator of the export
  --fields 0,1,3,2,4    the file&apos;s fields in order: 0 name 1 description 2 X 3 Y 4 elevation H (default: as the export)
  --separator ,         the file&apos;s separator (one character; default comma)
  --output FILE         the output DXF file (required)
  --quiet               show no result
  --help                show this help

Exit status: 0 success, 1 bad input, 2 read or write failure (the output file is then left unchanged).
</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>缺少 --input（输入文件）</source>
        <translation>--input (input file) is missing</translation>
    </message>
</context>
<context>
    <name>earth</name>
    <message>
        <location filename="../earth/dem_reader.cpp" line="+51"/>
        <source>无法读取地形“%1”：%2</source>
        <translation>Cannot read terrain &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>文件不存在</source>
        <translation>the file does not exist</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>无法从该网址读取栅格（服务器没有响应、没有这个文件，或它不是可识别的栅格格式）</source>
        <translation>cannot read a raster from this address (the server does not respond, the file is not there, or it is not a recognised raster format)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>GDAL 无法打开该文件，它不是可识别的栅格格式</source>
        <translation>GDAL cannot open the file; it is not a recognised raster format</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>来自网址的 VRT 不能使用原始数据波段（VRTRawRasterBand），它会读取文件“%1”</source>
        <translation>a VRT from an address may not use raw bands (VRTRawRasterBand); it would read the file “%1”</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>文件中没有栅格波段</source>
        <translation>the file has no raster band</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>没有地理参考信息（既无地理变换参数，也无控制点）</source>
        <translation>no georeferencing (neither a geotransform nor ground control points)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>没有坐标系定义（例如缺少 .prj 文件或投影信息）</source>
        <translation>no coordinate system defined (for example, the .prj file or the projection information is missing)</translation>
    </message>
    <message>
        <location line="+82"/>
        <source>读取栅格掩膜失败</source>
        <translation>reading the raster mask failed</translation>
    </message>
    <message>
        <location line="+17"/>
        <location line="+145"/>
        <source>读取高程数据失败</source>
        <translation>reading the elevation data failed</translation>
    </message>
    <message>
        <location line="-112"/>
        <location line="+151"/>
        <source>无法把它的坐标系转换为 WGS84 经纬度</source>
        <translation>cannot transform its coordinate system to WGS84 latitude/longitude</translation>
    </message>
    <message>
        <location line="-146"/>
        <source>无法确定它在 WGS84 经纬度下的范围</source>
        <translation>cannot determine its extent in WGS84 latitude/longitude</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>无法把它重投影到 WGS84 经纬度</source>
        <translation>cannot reproject it to WGS84 latitude/longitude</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>它太大且没有合适的概览（金字塔）：显示它要解码约 %1 GB 的数据块，超过了 %2 GB 的上限。请先为它建立概览，例如：gdaladdo -r average “%3” 2 4 8 16 32 64 128 256</source>
        <translation>it is too large and has no suitable overviews (pyramids): showing it would decode about %1 GB of data blocks, more than the limit of %2 GB. Build overviews for it first, for example: gdaladdo -r average &quot;%3&quot; 2 4 8 16 32 64 128 256</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>内存不足，无法建立缩减的高程格网</source>
        <translation>not enough memory to build the reduced elevation grid</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>无法建立缩减的高程格网</source>
        <translation>cannot build the reduced elevation grid</translation>
    </message>
    <message>
        <location line="+55"/>
        <source>所要的范围不在该栅格之内</source>
        <translation>the requested area is not within this raster</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>无法截取所要的范围</source>
        <translation>cannot cut out the requested area</translation>
    </message>
    <message>
        <location line="+123"/>
        <source>没有给出文件或文件夹</source>
        <translation>no file or folder given</translation>
    </message>
    <message>
        <location filename="../earth/grid_sampling.cpp" line="+16"/>
        <source>自动采点间距必须大于0米。</source>
        <translation>The automatic sampling spacing must be greater than 0 m.</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>自动采点间距太小，采点数量过多。</source>
        <translation>The automatic sampling spacing is too small: too many points.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>自动采点间距太小，采点数量超过1000万个，请加大间距。</source>
        <translation>The automatic sampling spacing is too small: more than 10 million points. Increase the spacing.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>自动采点间距大于地图窗的纵向或横向距离，无法形成采点格网，请减小间距或刷新地图窗范围。</source>
        <translation>The automatic sampling spacing is larger than the map window&apos;s height or width, so no sampling grid can be formed. Reduce the spacing or refresh the map window&apos;s extent.</translation>
    </message>
    <message>
        <location filename="../earth/synthetic_terrain.cpp" line="+147"/>
        <source>合成演示地形</source>
        <translation>Synthetic demo terrain</translation>
    </message>
    <message>
        <location filename="../earth/terrain.cpp" line="+46"/>
        <source>地形文件“%1”无法使用：栅格至少需要 2×2 个有效排列的采样点</source>
        <translation>Terrain file &quot;%1&quot; cannot be used: the raster needs at least 2×2 validly arranged samples</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>地形文件“%1”无法使用：所有采样点都是无数据值</source>
        <translation>Terrain file &quot;%1&quot; cannot be used: all samples are no-data values</translation>
    </message>
    <message>
        <location filename="../earth/terrain_application.cpp" line="+158"/>
        <location line="+7"/>
        <source>地形视图窗口已关闭</source>
        <translation>The terrain view window has been closed</translation>
    </message>
    <message>
        <location line="+76"/>
        <source>屏幕坐标无效：必须是有限的数</source>
        <translation>Invalid screen coordinates: they must be finite numbers</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>该屏幕位置没有地形数据：视线没有落到地面上（天空）</source>
        <translation>No terrain data at this screen position: the line of sight does not reach the ground (sky)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>该屏幕位置没有地形数据：视线落在地形数据范围之外或无数据区</source>
        <translation>No terrain data at this screen position: the line of sight falls outside the terrain data or on a no-data area</translation>
    </message>
    <message>
        <location line="+70"/>
        <source>正在读取地形数据...</source>
        <translation>Reading terrain data...</translation>
    </message>
    <message>
        <location line="+12"/>
        <location line="+42"/>
        <location line="+35"/>
        <location line="+37"/>
        <source>正在细化地形...</source>
        <translation>Refining terrain...</translation>
    </message>
    <message>
        <location filename="../earth/terrain_view.cpp" line="+30"/>
        <source>纬度 %1°  经度 %2°  高程 %3 米</source>
        <translation>Lat %1°  Lon %2°  Elevation %3 m</translation>
    </message>
    <message>
        <location filename="../earth/view_overlays.cpp" line="+62"/>
        <source>北</source>
        <translation>N</translation>
    </message>
    <message>
        <location line="+64"/>
        <source>%1 公里</source>
        <translation>%1 km</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 米</source>
        <translation>%1 m</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>合成演示地形（非真实高程）</source>
        <translation>Synthetic demo terrain (not real elevations)</translation>
    </message>
</context>
<context>
    <name>fileio</name>
    <message>
        <location filename="../fileio/file_error.cpp" line="+12"/>
        <source>无法写入文件 %1：%2</source>
        <translation>Cannot write file %1: %2</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>文件或文件夹不存在</source>
        <translation>no such file or folder</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>路径中的一级不是文件夹</source>
        <translation>a part of the path is not a folder</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>这是一个文件夹</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>没有访问权限</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件系统是只读的</source>
        <translation>the file system is read-only</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>磁盘空间不足</source>
        <translation>not enough disk space</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>超出磁盘配额</source>
        <translation>disk quota exceeded</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件超出允许的大小</source>
        <translation>the file is larger than allowed</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件名过长</source>
        <translation>file name too long</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>输入输出错误</source>
        <translation>input/output error</translation>
    </message>
    <message>
        <location filename="../app/parameter_import.cpp" line="-20"/>
        <location filename="../fileio/line_reader.cpp" line="+36"/>
        <source>%1 第 %2 行：一行超过 1 MB，不是按行排列的数据（可能选错了文件）</source>
        <translation>%1 line %2: the line is longer than 1 MB; this is not a file of data lines (the wrong file, perhaps)</translation>
    </message>
    <message>
        <location filename="../fileio/line_reader.cpp" line="+66"/>
        <source>无法读取文件 %1：%2</source>
        <translation>Cannot read the file %1: %2</translation>
    </message>
</context>
<context>
    <name>geodesy</name>
    <message>
        <location filename="../geodesy/central_meridian.h" line="+16"/>
        <source>中央子午线没有设置！</source>
        <translation>The central meridian is not set!</translation>
    </message>
    <message>
        <location filename="../geodesy/control_points.cpp" line="+54"/>
        <source>控制点 %1 的坐标不是有限数值。</source>
        <translation>The coordinates of control point %1 are not finite numbers.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>至少需要两个参与计算的控制点。</source>
        <translation>At least two control points must take part in the calculation.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>控制点 %1 与 %2 的源坐标相同（相距不到 1 毫米），无法求解。请删去其中一个，或不让它参与计算。</source>
        <translation>Control points %1 and %2 have the same source coordinates (less than 1 mm apart), so there is no solution. Delete one of them, or leave it out of the calculation.</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>求得的比例因子不大于零（尺度 m ≤ −1），这些控制点不构成相似变换。请检查各点的目标坐标。</source>
        <translation>The computed scale factor is not greater than zero (scale m ≤ −1): these control points do not form a similarity transformation. Check the target coordinates of the points.</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>高程拟合需要至少三个不在一条直线上的控制点。</source>
        <translation>Height fitting needs at least three control points that are not on one straight line.</translation>
    </message>
    <message>
        <location filename="../geodesy/ellipsoid.cpp" line="+41"/>
        <source>程序默认椭球</source>
        <translation>Program default ellipsoid</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>西安80（IAG-75）</source>
        <translation>Xian 80 (IAG-75)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>北京54（克拉索夫斯基）</source>
        <translation>Beijing 54 (Krassovsky)</translation>
    </message>
    <message>
        <location filename="../geodesy/zone_projection.cpp" line="+21"/>
        <source>中央子午线 %1° 不是%2°带的中央子午线，Y 无法加带号。请改正中央子午线或带宽。</source>
        <translation>Central meridian %1° is not the central meridian of a %2° zone, so Y cannot carry the zone number. Correct the central meridian or the zone width.</translation>
    </message>
    <message>
        <location filename="../geodesy/number_text.cpp" line="+22"/>
        <source>“%1”不是有效的数值</source>
        <translation>&apos;%1&apos; is not a valid floating point value</translation>
    </message>
    <message>
        <location filename="../geodesy/survey_conversion.cpp" line="+32"/>
        <source>纬度 %1 超出范围：纬度应在 -90 到 90 度之间</source>
        <translation>Latitude %1 is out of range: a latitude lies between -90 and 90 degrees</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>经度 %1 超出范围：经度应在 -180 到 180 度之间</source>
        <translation>Longitude %1 is out of range: a longitude lies between -180 and 180 degrees</translation>
    </message>
</context>
<context>
    <name>keldarn::app::ControlPointsDialog</name>
    <message>
        <location filename="../app/control_points_dialog.cpp" line="+10"/>
        <source>四参数求解</source>
        <translation>Solve Four Parameters</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>源坐标为当前投影带的平面坐标</source>
        <translation>Source: plane coordinates of the current zone</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>源坐标为经纬度(度)</source>
        <translation>Source: latitude and longitude (°)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>高程拟合（平面，至少三点）</source>
        <translation>Height fit (plane, 3 points or more)</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>添加行</source>
        <translation>Add Row</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>删除行</source>
        <translation>Delete Row</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>粘贴</source>
        <translation>Paste</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>取自点表</source>
        <translation>From Point Table</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>打开...</source>
        <translation>Open...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>保存...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>输入两个以上的控制点后按“计算”。</source>
        <translation>Enter two or more control points, then press &quot;Compute&quot;.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>计算</source>
        <translation>Compute</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <location line="+105"/>
        <source>第%1行的%2“%3”不是数字。</source>
        <translation>Row %1: %2 &quot;%3&quot; is not a number.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>第%1行（%2）的%3“%4”不是数字。</source>
        <translation>Row %1 (%2): %3 &quot;%4&quot; is not a number.</translation>
    </message>
    <message>
        <location line="+76"/>
        <source>dx=%1 m  dy=%2 m  R=%3″  m=%4  dH=%5 m</source>
        <translation>dx=%1 m  dy=%2 m  R=%3″  m=%4  dH=%5 m</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>单位权中误差 m0 = ±%1 m（%2 个点，多余观测数 r = 2n − 4 = %3）</source>
        <translation>Unit-weight standard error m0 = ±%1 m (%2 points, redundancy r = 2n − 4 = %3)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>单位权中误差 m0：两个点恰好定出四参数，没有多余观测（r = 0），无法估计</source>
        <translation>Unit-weight standard error m0: two points determine the four parameters exactly; with no redundant observations (r = 0) it cannot be estimated</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>；平面残差均方根 %1 m，高程残差均方根 %2 m</source>
        <translation>; RMS of plane residuals %1 m, RMS of height residuals %2 m</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>；平面残差最大的点：%1（红色）</source>
        <translation>; largest plane residual: %1 (red)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>
高程拟合：dH 为控制点重心处的值，坡度 X 向 %1、Y 向 %2（应用时只写入 dH）</source>
        <translation>
Height fit: dH is the value at the centroid of the control points, slope %1 in X and %2 in Y (only dH is applied)</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>粘贴的文字</source>
        <translation>pasted text</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>打开控制点文件</source>
        <translation>Open Control Point File</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>控制点文件 (*.txt *.csv)|*.txt;*.csv|All files (*.*)|*.*</source>
        <translation>Control point files (*.txt *.csv)|*.txt;*.csv|All files (*.*)|*.*</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>保存控制点文件</source>
        <translation>Save Control Point File</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>控制点文件 (*.txt)|*.txt</source>
        <translation>Control point files (*.txt)|*.txt</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>控制点</source>
        <translation>Control points</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>请先在点表中选中要作为控制点的行（X、Y、H都是数字），再打开本窗口。</source>
        <translation>First select the rows to use as control points in the point table (X, Y and H all numbers), then open this window.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>点表中的点以平面坐标取来，请先把源坐标改为平面坐标。</source>
        <translation>Points from the point table come as plane coordinates; set the source coordinates to plane coordinates first.</translation>
    </message>
</context>
<context>
    <name>keldarn::app::HelpWindow</name>
    <message>
        <location filename="../app/help_window.cpp" line="+17"/>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>找不到帮助文件“%1”。</source>
        <translation>Help file &quot;%1&quot; not found.</translation>
    </message>
</context>
<context>
    <name>keldarn::app::ImageryDialog</name>
    <message>
        <location filename="../app/imagery_dialog.cpp" line="+18"/>
        <source>影像图层</source>
        <translation>Imagery Layer</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>影像文件、文件夹，或 https://…/{z}/{x}/{y}.png</source>
        <translation>Imagery file, folder, or https://…/{z}/{x}/{y}.png</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件...</source>
        <translation>File...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>文件夹...</source>
        <translation>Folder...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>不用影像</source>
        <translation>No Imagery</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>打开影像文件</source>
        <translation>Open Imagery File</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>影像 (*.tif *.tiff *.jpg *.jpeg *.png *.jp2 *.mbtiles *.vrt);;所有文件 (*)</source>
        <translation>Imagery (*.tif *.tiff *.jpg *.jpeg *.png *.jp2 *.mbtiles *.vrt);;All files (*)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>选择影像分幅文件夹</source>
        <translation>Choose Folder of Imagery Tiles</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>显示影像（不显示时只有地形晕渲）</source>
        <translation>Show imagery (otherwise only the terrain hillshade)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>瓦片服务的网址模板须含 {z}、{x}、{y}（TMS 用 {-y}）；WMTS 填能力文档网址，WMS 以 WMS: 开头。
服务的瓦片缓存在本机，看过的地方断网后仍可显示。</source>
        <translation>A tile service URL template must contain {z}, {x}, {y} ({-y} for TMS); for WMTS enter the capabilities URL, for WMS start with WMS:.
Tiles of services are cached on this computer: places already seen still show when offline.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>影像来源：</source>
        <translation>Imagery source:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>不透明度：</source>
        <translation>Opacity:</translation>
    </message>
</context>
<context>
    <name>keldarn::app::ProfileChart</name>
    <message>
        <location filename="../app/profile_window.cpp" line="+199"/>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>里程 %1  高程 %2</source>
        <translation>Chainage %1  Elevation %2</translation>
    </message>
</context>
<context>
    <name>keldarn::app::ProfileWindow</name>
    <message>
        <location line="+15"/>
        <location line="+60"/>
        <location line="+5"/>
        <location line="+11"/>
        <source>纵断面</source>
        <translation>Longitudinal Profile</translation>
    </message>
    <message>
        <location line="-74"/>
        <source>全图</source>
        <translation>Full View</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>保存PNG...</source>
        <translation>Save PNG...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>保存SVG...</source>
        <translation>Save SVG...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>加入点表</source>
        <translation>Add to Point Table</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>竖向比例</source>
        <translation>Vertical exaggeration</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>起始里程</source>
        <translation>Start chainage</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>PNG图像 (*.png)|*.png</source>
        <translation>PNG images (*.png)|*.png</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>SVG矢量图 (*.svg)|*.svg</source>
        <translation>SVG vector graphics (*.svg)|*.svg</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>纵断面 - %1</source>
        <translation>Longitudinal Profile - %1</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>保存纵断面图</source>
        <translation>Save Profile Chart</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>无法写入文件“%1”。</source>
        <translation>Cannot write the file &quot;%1&quot;.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>起始里程“%1”无法识别，请写成 K1+250.5 或 1250.5 的形式。</source>
        <translation>Start chainage &quot;%1&quot; is not recognised; write it as K1+250.5 or 1250.5.</translation>
    </message>
</context>
<context>
    <name>keldarn::app::ProjectionDialog</name>
    <message>
        <location filename="../app/projection_dialog.cpp" line="-173"/>
        <source>椭球与分带</source>
        <translation>Ellipsoid and Zones</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>（a=%1，1/f=%2）</source>
        <translation> (a=%1, 1/f=%2)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>3°带</source>
        <translation>3° zones</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>6°带</source>
        <translation>6° zones</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>自动判断（反算时去掉整百万米，程序默认）</source>
        <translation>Detect (whole millions of metres dropped when inverting; default)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>不含带号</source>
        <translation>Without zone number</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>含带号（Y = 带号×1000000 + 横坐标）</source>
        <translation>With zone number (Y = zone × 1000000 + easting)</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>WGS84到本坐标系的七参数（布尔莎模型，在地心坐标上）</source>
        <translation>Seven parameters from WGS84 to this system (Bursa–Wolf, on geocentric coordinates)</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>位置矢量（Position Vector，EPSG:1033，同 PROJ 的 +towgs84）</source>
        <translation>Position Vector (EPSG:1033, as PROJ +towgs84)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>坐标框架（Coordinate Frame，EPSG:1032）</source>
        <translation>Coordinate Frame (EPSG:1032)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>旋转约定</source>
        <translation>Rotation convention</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>两种约定的旋转角符号相反：同一组参数，按资料注明的约定选择。七参数把 WGS84 经纬度换到本坐标系的椭球上再投影；反算时严格逆转。</source>
        <translation>The two conventions give the rotations opposite signs: for a set of parameters, choose the convention its source states. The seven parameters carry WGS84 latitude and longitude onto this system&apos;s ellipsoid before projecting; the inverse is exact.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>椭球：</source>
        <translation>Ellipsoid:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>分带：</source>
        <translation>Zones:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Y坐标：</source>
        <translation>Y coordinate:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>投影带中央子午线(度)：</source>
        <translation>Central meridian of the zone (°):</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>七参数中有不是数字的值，请改正。</source>
        <translation>Some of the seven parameters are not numbers; please correct them.</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>改用地图窗中心所在%1°带的中央子午线 %2</source>
        <translation>Use the central meridian of the %1° zone at the map window&apos;s centre, %2</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>改用%1°带的中央子午线 %2</source>
        <translation>Use the central meridian of the %1° zone, %2</translation>
    </message>
</context>
<context>
    <name>keldarn::app::SeparatorDialog</name>
    <message>
        <location filename="../app/separator_dialog.cpp" line="+18"/>
        <source>分隔符冲突</source>
        <translation>Separator in the Data</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>替换字符须是一个字符，不能是分隔符，也不能是换行等控制字符。</source>
        <translation>The replacement must be one character, neither the separator nor a control character such as a line break.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>替换为：</source>
        <translation>Replace with:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>替换并导出</source>
        <translation>Replace and Export</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>keldarn::app::TAboutBox</name>
    <message>
        <location filename="../app/about_box.cpp" line="+20"/>
        <source>关于...</source>
        <translation>About...</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>欢迎您使用本软件</source>
        <translation>Thank you for using this software</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>产品名称:%1</source>
        <translation>Product name: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>文件版本:%1</source>
        <translation>File version: %1</translation>
    </message>
</context>
<context>
    <name>keldarn::app::TFormMain</name>
    <message>
        <location filename="../app/main_window.cpp" line="+109"/>
        <source>正在取消...</source>
        <translation>Cancelling...</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>GoogleEarth地图窗</source>
        <translation>Map window</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>数据采集</source>
        <translation>Collect</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>数据转换</source>
        <translation>Convert</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <location line="+65"/>
        <source>导出数据</source>
        <translation>Export Data</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>导入数据...</source>
        <translation>Import Data...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>在地图上显示KML...</source>
        <translation>Show KML on Map...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>移除地图上的KML</source>
        <translation>Remove KML from Map</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>自动采集</source>
        <translation>Automatic Collection</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>手工采集</source>
        <translation>Manual Collection</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>手工录入</source>
        <translation>Manual Entry</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>区域采点...</source>
        <translation>Sample Area...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>纵断面...</source>
        <translation>Longitudinal Profile...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>删除当前行</source>
        <translation>Delete Current Row</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>清空全部数据</source>
        <translation>Clear All Data</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>地图窗范围</source>
        <translation>Map View</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../app/main_window_pages.cpp" line="+149"/>
        <source>投影设置</source>
        <translation>Projection Settings</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>坐标转换</source>
        <translation>Coordinate Transformation</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>四参数求解...</source>
        <translation>Solve Four Parameters...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>地形数据文件...</source>
        <translation>Terrain Data File...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>地形数据文件夹...</source>
        <translation>Terrain Data Folder...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>地形数据网址...</source>
        <translation>Terrain Data URL...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>使用合成演示地形</source>
        <translation>Use Synthetic Demo Terrain</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>影像图层...</source>
        <translation>Imagery Layer...</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>KML文件转为CAD图形</source>
        <translation>KML File to CAD Drawing</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>CAD图形转为KML文件</source>
        <translation>CAD Drawing to KML File</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>新建CAD图形</source>
        <translation>New CAD Drawing</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>打开DXF图形...</source>
        <translation>Open DXF Drawing...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>显示CAD图形窗口</source>
        <translation>Show CAD Drawing Window</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>等高线到CAD图形...</source>
        <translation>Contours to CAD Drawing...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>高程点到CAD图形</source>
        <translation>Elevation Points to CAD Drawing</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>帮助文档</source>
        <translation>User Guide</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>关于...</source>
        <translation>About...</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>参数中的换行已替换为空格。</source>
        <translation>Line breaks in the parameters were replaced by spaces.</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>本次使用缺省设置；关闭时也不改写这个文件。</source>
        <translation>The defaults are used for this run; the file will not be overwritten when the program closes.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>本次使用程序自带的投影：%1。请在“椭球与分带...”中重新设置。</source>
        <translation>This run uses the program’s own projection: %1. Set it again under “Ellipsoid...”.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>本次读取KMZ文件时，每个文件解压后以 %1 MB 为限。</source>
        <translation>For this run, each file in a KMZ may inflate to at most %1 MB.</translation>
    </message>
    <message>
        <location filename="../app/main_window_journal.cpp" line="+98"/>
        <source>上次程序没有正常退出。恢复上次未正常退出时的点表数据（%1个点）？</source>
        <translation>The program did not exit normally last time. Restore the point table of that run (%1 points)?</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>有%1个Keldarn程序没有正常退出。恢复它们的点表数据（共%2个点）？</source>
        <translation>%1 copies of Keldarn did not end normally. Restore their point tables (%2 points in all)?</translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+7"/>
        <source>程序异常退出时，点表数据将无法恢复。</source>
        <translation>If the program exits abnormally, the point table cannot be recovered.</translation>
    </message>
    <message>
        <location filename="../app/main_window.cpp" line="+30"/>
        <source>启动Google Earth失败</source>
        <translation>The terrain viewer could not be started</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>点表中有%1个点尚未导出，退出后将丢失。是否退出？</source>
        <translation>%1 points in the table have not been exported and will be lost if you quit. Quit anyway?</translation>
    </message>
    <message>
        <location filename="../app/main_window_cad.cpp" line="+11"/>
        <source>打开DXF图形</source>
        <translation>Open DXF Drawing</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DXF图形文件 (*.dxf)|*.dxf|所有文件 (*.*)|*.*</source>
        <translation>DXF drawings (*.dxf)|*.dxf|All files (*.*)|*.*</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>打开KML文件</source>
        <translation>Open KML File</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>绘图结束，请切换到CAD窗口查看结果。</source>
        <translation>Drawing finished; switch to the CAD window to see the result.</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>KML文件另存为...</source>
        <translation>Save KML File As...</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../app/main_window_export.cpp" line="+125"/>
        <source>文件已存在,覆盖吗?</source>
        <translation>The file already exists. Overwrite it?</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>图形转换完毕，可在GoogleEarth中打开KML文件以查看结果。</source>
        <translation>Conversion finished; to see the result, open the KML file in a KML viewer or with File → Show KML on Map.</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>请在CAD图形窗口中选取一条闭合多段线，回车结束。</source>
        <translation>Select one closed polyline in the CAD drawing window, then press Enter.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>请在CAD图形窗口中选取一条多段线，回车结束。</source>
        <translation>Select one polyline in the CAD drawing window, then press Enter.</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>选取了%1条多段线，请只选取一条。</source>
        <translation>%1 polylines were selected; select only one.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>选取的多段线不闭合，不能作为区域边界。请选取闭合多段线。</source>
        <translation>The selected polyline is not closed and cannot be an area boundary. Select a closed polyline.</translation>
    </message>
    <message>
        <location filename="../app/main_window_capture.cpp" line="+71"/>
        <source>地图窗中心子午线=%1度/中央子午线=%2度</source>
        <translation>Map centre meridian=%1°/central meridian=%2°</translation>
    </message>
    <message>
        <location line="+71"/>
        <source>正在采集数据...请不要对地图窗作任何操作！</source>
        <translation>Collecting data... do not touch the map window!</translation>
    </message>
    <message>
        <location line="-12"/>
        <source>已取消自动采点，保留已采集的%1个点。</source>
        <translation>Automatic sampling cancelled; the %1 points collected are kept.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>数据采集结束，用时%1秒</source>
        <translation>Collection finished in %1 s</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>有%1个点没有地形数据（天空、数据范围之外或数据空洞），未采集。</source>
        <translation>%1 points had no terrain data (sky, outside the data or holes) and were not collected.</translation>
    </message>
    <message>
        <location filename="../app/main_window_commands.cpp" line="+112"/>
        <source>中央子午线=%1度</source>
        <translation>Central meridian=%1°</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>中央子午线=%1</source>
        <translation>Central meridian=%1</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>导入四参数</source>
        <translation>Import Four Parameters</translation>
    </message>
    <message>
        <location line="+77"/>
        <source>坐标系：%1</source>
        <translation>Coordinate system: %1</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>坐标转换页的四参数是在原来的投影平面上求得的；椭球、七参数、Y的带号或中央子午线改变后，它们不再适用。
现在打开“四参数求解”，用控制点重新求解吗？</source>
        <translation>The four parameters on the coordinate transformation page were solved on the previous projection plane; now that the ellipsoid, seven parameters, zone number in Y or central meridian has changed, they no longer fit.
Open &quot;Solve Four Parameters&quot; now to solve them again from control points?</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>椭球与分带</source>
        <translation>Ellipsoid and Zones</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>已把控制点求得的四参数和高程改正填入坐标转换页。</source>
        <translation>The four parameters and height correction solved from the control points were entered on the Coordinate Transformation page.</translation>
    </message>
    <message>
        <location filename="../app/main_window_export.cpp" line="-45"/>
        <source>点表中没有数据，没有导出文件。</source>
        <translation>The point table is empty; no file was exported.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>选择框中没有字段，没有导出文件。请先用 &gt;&gt; 或 &gt; 添加要导出的字段。</source>
        <translation>There are no fields in &quot;Selected&quot;; no file was exported. First add the fields to export with &gt;&gt; or &gt;.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>下列行的坐标或高程中含有%1，导出的行将无法按字段读回：
%2

请换一个分隔符（不要用数字、小数点或正负号），或先改正这些单元格。</source>
        <translation>The coordinates or elevations of these rows contain %1; the exported lines could not be read back field by field:
%2

Choose another separator (not a digit, decimal point or sign), or correct these cells first.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>下列行的点名或描述中含有%1，原样导出后这些行的字段数不对，无法再按字段读回：
%2

可以把这些字符替换为下面的字符后导出（点表中的这些单元格也一并修改，使点表与文件一致），或取消导出。</source>
        <translation>The names or descriptions of these rows contain %1; exported as they are, these rows would have the wrong number of fields and could not be read back:
%2

Replace these characters with the character below and export (the cells in the point table change too, so that table and file agree), or cancel the export.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>坐标数据另存为...</source>
        <translation>Save Coordinates As...</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>正在导出数据,请等待...</source>
        <translation>Exporting data, please wait...</translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+2"/>
        <source>数据导出完毕！</source>
        <translation>Export finished!</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>选择框中没有字段，无法导入。请先在“数据格式编辑”页用 &gt;&gt; 或 &gt; 添加文件中的字段。</source>
        <translation>There are no fields in &quot;Selected&quot;; cannot import. On the &quot;Data format&quot; page, first add the file&apos;s fields with &gt;&gt; or &gt;.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>导入坐标数据</source>
        <translation>Import Coordinates</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>已取消导入，没有导入任何点。</source>
        <translation>Import cancelled; no points were imported.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>正在导入数据...按Esc取消</source>
        <translation>Importing data... press Esc to cancel</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>正在导入数据，请等待结束或按Esc取消。</source>
        <translation>Importing data; wait for it to finish or press Esc to cancel.</translation>
    </message>
    <message>
        <location line="-10"/>
        <source>文件中没有点。</source>
        <translation>The file holds no points.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>已导入 %1 个点</source>
        <translation>Imported %1 points</translation>
    </message>
    <message>
        <location filename="../app/main_window_files.cpp" line="+26"/>
        <source>文件“%1”不存在或无法读取。</source>
        <translation>The file &quot;%1&quot; does not exist or cannot be read.</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>界面语言</source>
        <translation>Interface Language</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>跟随系统</source>
        <translation>System Language</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>界面语言将在下次启动程序时更改。</source>
        <translation>The interface language changes the next time Keldarn starts.</translation>
    </message>
    <message>
        <location filename="../app/main_window_map.cpp" line="+84"/>
        <source>地图上的点表</source>
        <translation>Point Table on Map</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>显示点和点名</source>
        <translation>Points and Names</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>只显示点</source>
        <translation>Points Only</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>不显示</source>
        <translation>Hidden</translation>
    </message>
    <message>
        <location line="+30"/>
        <location line="+4"/>
        <source>影像图层无法使用</source>
        <translation>Imagery layer unavailable</translation>
    </message>
    <message>
        <location line="+65"/>
        <source>地形视图没有启动，无法设置影像图层。</source>
        <translation>The terrain view has not started; the imagery layer cannot be set.</translation>
    </message>
    <message>
        <location line="+19"/>
        <location line="+15"/>
        <source>地形视图没有启动，无法显示KML。</source>
        <translation>The terrain view has not started; KML cannot be shown.</translation>
    </message>
    <message>
        <location line="-12"/>
        <source>在地图上显示KML</source>
        <translation>Show KML on Map</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>KML文件 (*.kml *.kmz)|*.kml;*.kmz|所有文件 (*.*)|*.*</source>
        <translation>KML files (*.kml *.kmz)|*.kml;*.kmz|All files (*.*)|*.*</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>正在读取KML：%1</source>
        <translation>Reading KML: %1</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>地图上显示KML：%1（%2 个点，%3 条线）</source>
        <translation>KML on the map: %1 (%2 points, %3 lines)</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>地图上没有显示KML。</source>
        <translation>No KML is shown on the map.</translation>
    </message>
    <message>
        <location filename="../app/main_window_pages.cpp" line="-18"/>
        <source>地图窗位置与范围</source>
        <translation>Map window position and range</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+97"/>
        <source>纬度(度)</source>
        <translation>Lat. (°)</translation>
    </message>
    <message>
        <location line="-96"/>
        <location line="+97"/>
        <source>经度(度)</source>
        <translation>Lon. (°)</translation>
    </message>
    <message>
        <location line="-96"/>
        <source>范围(米)</source>
        <translation>Range (m)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>每单位大约为横向距离的1米左右。</source>
        <translation>Each unit is roughly 1 metre of horizontal distance.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>高度(米)</source>
        <translation>Alt. (m)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>倾角(度)</source>
        <translation>Tilt (°)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>方位(度)</source>
        <translation>Azim. (°)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>输入测区中心经纬度可直接到达测区。</source>
        <translation>Type the area&apos;s centre to go there.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>前往</source>
        <translation>Go</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>到达到采集数据的测区</source>
        <translation>Go to the survey area to collect data</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>坐标系为W84，投影方式为高斯克吕格。当地图中心偏离中央子午线超过1.5度时，建议重新设置。</source>
        <translation>WGS84 map coordinates, Gauss–Krüger. Reset when the map centre is over 1.5° from the meridian.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>GE地图窗中心子午线(度)</source>
        <translation>Map centre meridian (°)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>投影带中央子午线(度)</source>
        <translation>Zone central meridian (°)</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+46"/>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <location line="-45"/>
        <location line="+27"/>
        <location line="+91"/>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="-117"/>
        <source>椭球与分带...</source>
        <translation>Ellipsoid...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>坐标系的椭球、3°或6°分带、Y是否含带号，以及WGS84到本坐标系的七参数</source>
        <translation>The ellipsoid of the coordinate system, 3° or 6° zones, whether Y includes the zone number, and the seven parameters from WGS84 to this system</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>转换为用户坐标的参数(二维四参数模型)</source>
        <translation>Parameters to user coordinates (2D four-parameter model)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>X平移dx=</source>
        <translation>X shift dx=</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Y平移dy=</source>
        <translation>Y shift dy=</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>旋转R(&quot;)=</source>
        <translation>Rot. R(&quot;)=</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>尺度变化m=</source>
        <translation>Scale m=</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>高程改正dH=</source>
        <translation>H corr. dH=</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>若仅平移即可满足精度要求，则只输入dx和dy，R和M置0。四参数可用Virelle坐标转换 2014计算。所有参数置0将不转换。</source>
        <translation>Shift only: dx, dy; R, m = 0. Virelle Coordinate Transformation 2014 computes them. All 0: no change.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>求解...</source>
        <translation>Solve...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>由控制点求解四参数和高程改正</source>
        <translation>Solve the four parameters and the height correction from control points</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>自动采点密度设置</source>
        <translation>Automatic sampling density</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>GE地图窗纵向距离(米)</source>
        <translation>Map view height (m)</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+3"/>
        <source>米/像素</source>
        <translation>m/pixel</translation>
    </message>
    <message>
        <location line="-2"/>
        <source>GE地图窗横向距离(米)</source>
        <translation>Map view width (m)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>自动采点间距(米)</source>
        <translation>Sampling spacing (m)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>每像素距离和采点间距越小地形精度就越高。但点太密采点速度就会慢。</source>
        <translation>The smaller the distance per pixel and the spacing, the more accurate the terrain; but dense points make sampling slow.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>预计采点数量</source>
        <translation>Estimated points</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>自动采点</source>
        <translation>Sample</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>采集完一屏后，可以将地图移动一屏后继续采集。</source>
        <translation>When one screen is sampled, move the map by one screen and go on sampling.</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+16"/>
        <source>点名</source>
        <translation>Name</translation>
    </message>
    <message>
        <location line="-15"/>
        <location line="+16"/>
        <source>点位描述</source>
        <translation>Descr.</translation>
    </message>
    <message>
        <location line="-15"/>
        <source>X坐标</source>
        <translation>X coord.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Y坐标</source>
        <translation>Y coord.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>高程H</source>
        <translation>H (m)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>为便于后期的地形图配准，可选一些地形地物的特征点作为校正点。</source>
        <translation>For registering maps later, pick distinct terrain features as tie points.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>地图窗取点</source>
        <translation>Pick on Map</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+16"/>
        <source>采用</source>
        <translation>Add to Table</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>高程(m)</source>
        <translation>Height (m)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>可将GE的地标作为校正点，查地标属性可知经纬度。 采用后经纬度将转换为平面坐标。</source>
        <translation>Placemarks make good tie points: their properties give lat/lon, converted to plane coordinates when added.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>数据格式编辑</source>
        <translation>Data format</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>备选框</source>
        <translation>Available</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>添加全部字段</source>
        <translation>Add all fields</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>添加选择字段</source>
        <translation>Add selected field</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>移除全部字段</source>
        <translation>Remove all fields</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>移除选择字段</source>
        <translation>Remove selected field</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>选择框</source>
        <translation>Selected</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>0点名</source>
        <translation>0 Name</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>1描述</source>
        <translation>1 Description</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>3Y坐标</source>
        <translation>3 Y coordinate</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>2X坐标</source>
        <translation>2 X coordinate</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>4高程H</source>
        <translation>4 Elevation H</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>上移</source>
        <translation>Move up</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>下移</source>
        <translation>Move down</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>分隔符</source>
        <translation>Sep.</translation>
    </message>
    <message>
        <location filename="../app/main_window_survey.cpp" line="-289"/>
        <source>打开含区域边界（多边形）的KML文件</source>
        <translation>Open KML File with Area Boundary (Polygon)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>打开含路线的KML文件</source>
        <translation>Open KML File with Route</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>文件中有多个多边形，请选择区域边界：</source>
        <translation>The file has several polygons; choose the area boundary:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>文件中有多条路径，请选择路线：</source>
        <translation>The file has several paths; choose the route:</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>在地图上左键点选边界顶点，右键或回车结束，Esc取消</source>
        <translation>Left-click the boundary vertices on the map; right-click or Enter finishes, Esc cancels</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>在地图上左键点选路线顶点，右键或回车结束，Esc取消</source>
        <translation>Left-click the route vertices on the map; right-click or Enter finishes, Esc cancels</translation>
    </message>
    <message>
        <location line="+122"/>
        <source>区域边界有一部分在高程数据范围之外（或落在数据空洞上），没有采点。请把边界移到高程数据范围以内。</source>
        <translation>Part of the area boundary lies outside the elevation data (or on a void in it); no points were sampled. Move the boundary inside the elevation data.</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>已取消区域采点，保留已采集的%1个点。</source>
        <translation>Area sampling cancelled; the %1 points collected are kept.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>区域采点结束，共采集%1个点，用时%2秒</source>
        <translation>Area sampling finished: %1 points collected in %2 s</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>区域以内没有格网点（区域小于格网间距？），没有采点。</source>
        <translation>No grid points inside the area (area smaller than the grid spacing?); no points sampled.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>
有%1个点没有地形数据（数据空洞），未采集。</source>
        <translation>
%1 points have no terrain data (voids) and were not collected.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>正在区域采点...按Esc取消</source>
        <translation>Sampling points in area... press Esc to cancel</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>已取消纵断面。</source>
        <translation>Profile cancelled.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>正在计算纵断面...按Esc取消</source>
        <translation>Computing profile... press Esc to cancel</translation>
    </message>
    <message>
        <location line="+62"/>
        <source>演示地形没有高程数据文件，不能生成等高线。请先在“设置”中打开地形数据文件、文件夹或网址。</source>
        <translation>The demonstration terrain has no elevation data file, so no contours can be generated. First open a terrain data file, folder or URL under &quot;Settings&quot;.</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>已取消等高线。</source>
        <translation>Contours cancelled.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>正在生成等高线...按Esc取消</source>
        <translation>Generating contours... press Esc to cancel</translation>
    </message>
    <message>
        <location filename="../app/main_window_terrain.cpp" line="+89"/>
        <source>地形视图没有启动，无法更换地形数据。</source>
        <translation>The terrain view has not started; the terrain data cannot be changed.</translation>
    </message>
    <message>
        <location line="-36"/>
        <location line="+41"/>
        <source>正在读取地形数据，请等待...</source>
        <translation>Reading terrain data, please wait...</translation>
    </message>
    <message>
        <location line="-33"/>
        <location line="+43"/>
        <source>地形数据：%1</source>
        <translation>Terrain data: %1</translation>
    </message>
    <message>
        <location line="-38"/>
        <source>将使用合成演示地形。</source>
        <translation>The synthetic demonstration terrain will be used.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>已取消读取地形数据。</source>
        <translation>Reading of the terrain data cancelled.</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>打开DEM地形文件</source>
        <translation>Open DEM Terrain File</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DEM地形文件 (*.tif *.tiff *.hgt *.asc *.vrt *.img *.dem *.zip)|*.tif;*.tiff;*.hgt;*.asc;*.vrt;*.img;*.dem;*.zip|所有文件 (*.*)|*.*</source>
        <translation>DEM terrain files (*.tif *.tiff *.hgt *.asc *.vrt *.img *.dem *.zip)|*.tif;*.tiff;*.hgt;*.asc;*.vrt;*.img;*.dem;*.zip|All files (*.*)|*.*</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>选择DEM地形分幅文件夹</source>
        <translation>Choose Folder of DEM Tiles</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>地形数据网址</source>
        <translation>Terrain Data URL</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>云优化 GeoTIFF（COG）或 VRT 的网址（http:// 或 https://）：</source>
        <translation>URL of a cloud-optimised GeoTIFF (COG) or VRT (http:// or https://):</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>地形数据网址无效：“%1”。
请输入以 http:// 或 https:// 开头、不含空格的完整网址。</source>
        <translation>Invalid terrain data URL: &quot;%1&quot;.
Enter a complete URL that starts with http:// or https:// and has no spaces.</translation>
    </message>
</context>
<context>
    <name>keldarn::app::TerrainProductDialog</name>
    <message>
        <location filename="../app/terrain_product_dialog.cpp" line="+24"/>
        <source>地图窗中的地面</source>
        <translation>Ground in the map view</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>KML/KMZ文件中的多边形...</source>
        <translation>Polygon in a KML/KMZ file...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>KML/KMZ文件中的路径...</source>
        <translation>Path in a KML/KMZ file...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>CAD图形中选取的闭合多段线</source>
        <translation>Closed polyline selected in the CAD drawing</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>CAD图形中选取的多段线</source>
        <translation>Polyline selected in the CAD drawing</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>在地图上点选（左键加点，右键或回车结束，Esc取消）</source>
        <translation>Click on the map (left-click adds a vertex, right-click or Enter finishes, Esc cancels)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>里程按椭球面距离（大地线）量取</source>
        <translation>Measure chainage on the ellipsoid (geodesic)</translation>
    </message>
</context>
<context>
    <name>keldarn::cad::DrawingWindow</name>
    <message>
        <location filename="../cad/drawing_window.cpp" line="+28"/>
        <source>Keldarn 图形窗口</source>
        <translation>Keldarn Drawing Window</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>打开DXF图形</source>
        <translation>Open DXF Drawing</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DXF图形文件 (*.dxf);;所有文件 (*)</source>
        <translation>DXF drawings (*.dxf);;All files (*)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>DXF图形另存为</source>
        <translation>Save DXF Drawing As</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DXF图形文件 (*.dxf)</source>
        <translation>DXF drawings (*.dxf)</translation>
    </message>
    <message>
        <location line="+26"/>
        <location line="+15"/>
        <source>X(东) %1  Y(北) %2</source>
        <translation>X(E) %1  Y(N) %2</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>打开DXF...</source>
        <translation>Open DXF...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>保存DXF</source>
        <translation>Save DXF</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>另存为...</source>
        <translation>Save As...</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>全图</source>
        <translation>Extents</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>显示整个图形（Home 键，或双击鼠标中键）</source>
        <translation>Show the whole drawing (Home key, or double-click the middle mouse button)</translation>
    </message>
    <message>
        <location line="+25"/>
        <location line="+141"/>
        <source>未命名</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <location line="-120"/>
        <source>选择对象：单击拾取或拖出窗口（向右拖选窗口内的，向左拖选与窗口相交的），Shift 去除；回车、空格或右键结束，Esc 取消。已选 %1 个。</source>
        <translation>Select objects: click to pick or drag a window (to the right: objects inside it; to the left: objects crossing it), Shift removes; Enter, Space or right-click ends, Esc cancels. %1 selected.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>点 %1 个，文字 %2 个，多段线 %3 个，其他对象 %4 个</source>
        <translation>Points: %1, texts: %2, polylines: %3, other objects: %4</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>一个命令正在使用当前图形（在图形中选择对象），请先结束选择，再新建或打开图形。</source>
        <translation>A command is using the current drawing (selecting objects in it). Finish the selection before creating or opening a drawing.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>未命名图形</source>
        <translation>Untitled drawing</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>图形“%1”已修改，是否保存修改？</source>
        <translation>Drawing &quot;%1&quot; has been modified. Save the changes?</translation>
    </message>
    <message>
        <location line="+78"/>
        <source>DXF文件不能保存图形中的以下内容，保存后它们将丢失：</source>
        <translation>A DXF file cannot hold the following content of the drawing; it will be lost when saved:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>仍然保存吗？</source>
        <translation>Save anyway?</translation>
    </message>
</context>
<context>
    <name>keldarn::earth::TerrainMainWindow</name>
    <message>
        <location filename="../earth/terrain_view.cpp" line="+188"/>
        <source>Keldarn 地形视图</source>
        <translation>Keldarn Terrain View</translation>
    </message>
</context>
<context>
    <name>keldarn::earth::TerrainRenderWidget</name>
    <message>
        <location line="-98"/>
        <source>此处没有地形数据</source>
        <translation>No terrain data here</translation>
    </message>
</context>
<context>
    <name>kml</name>
    <message>
        <location filename="../kml/kml_decoder.cpp" line="+154"/>
        <source>不支持文件声明的文本编码“%1”</source>
        <translation>The text encoding &quot;%1&quot; declared by the file is not supported</translation>
    </message>
    <message>
        <location line="+80"/>
        <source>一段文字超过16 MB，其中没有空白或标点，不是KML文本</source>
        <translation>A run of text exceeds 16 MB without a blank or punctuation; this is not KML text</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>文字不是有效的%1编码</source>
        <translation>The text is not valid %1</translation>
    </message>
    <message>
        <location filename="../kml/kml_error.h" line="+31"/>
        <source>读取KML文件 %1 第%2行出错：%3</source>
        <translation>Error reading KML file %1 at line %2: %3</translation>
    </message>
    <message>
        <location line="+4"/>
        <location filename="../kml/kml_input.cpp" line="+37"/>
        <source>读取KML文件 %1 出错：%2</source>
        <translation>Error reading KML file %1: %2</translation>
    </message>
    <message>
        <location filename="../kml/kml_input.cpp" line="+43"/>
        <source>压缩数据已损坏（%1）</source>
        <translation>The compressed data is damaged (%1)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>KMZ文件 %1 中的 %2 解压后超过 %3 MB，已停止读取。如确需读取，可在设置文件 Keldarn.ini 的 [KML] 节把 KmzEntryMB 调大。</source>
        <translation>%2 in the KMZ file %1 inflates to more than %3 MB; reading stopped. To read it all the same, raise KmzEntryMB in the [KML] section of the settings file Keldarn.ini.</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>不是有效的KMZ（ZIP）压缩文件</source>
        <translation>not a valid KMZ (ZIP) archive</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>压缩文件已损坏或不完整</source>
        <translation>the archive is damaged or incomplete</translation>
    </message>
    <message>
        <location line="+63"/>
        <source>无法读取KMZ文件 %1 中的 %2：%3</source>
        <translation>Cannot read %2 in KMZ file %1: %3</translation>
    </message>
    <message>
        <location line="+2"/>
        <location filename="../kml/kml_parser.cpp" line="+261"/>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>无法打开KMZ文件 %1：%2</source>
        <translation>Cannot open KMZ file %1: %2</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>KMZ文件 %1 中没有KML文件</source>
        <translation>KMZ file %1 contains no KML file</translation>
    </message>
    <message>
        <location line="+87"/>
        <location line="+4"/>
        <source>无法打开KML文件 %1：%2</source>
        <translation>Cannot open KML file %1: %2</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>KMZ文件 %1 中没有 %2</source>
        <translation>KMZ file %1 does not contain %2</translation>
    </message>
    <message>
        <location filename="../kml/kml_parser.cpp" line="-88"/>
        <source>%1 不是有效的数值</source>
        <translation>%1 is not a valid number</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>纬度 %1 超出 -90 到 90 度的范围（经度和纬度是否颠倒？）</source>
        <translation>Latitude %1 is outside the range -90 to 90 degrees (are longitude and latitude swapped?)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>经度 %1 超出 -180 到 180 度的范围</source>
        <translation>Longitude %1 is outside the range -180 to 180 degrees</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>%1 不是有效的坐标（应为“经度,纬度”或“经度,纬度,高程”）</source>
        <translation>%1 is not a valid coordinate (expected &quot;longitude,latitude&quot; or &quot;longitude,latitude,elevation&quot;)</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>坐标 %1 缺少经度</source>
        <translation>Coordinate %1 lacks the longitude</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>坐标 %1 缺少纬度</source>
        <translation>Coordinate %1 lacks the latitude</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>轨迹坐标 %1 缺少纬度（应为“经度 纬度 高程”）</source>
        <translation>Track coordinate %1 lacks the latitude (expected &quot;longitude latitude elevation&quot;)</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>文件不完整，在元素结束之前就结束了</source>
        <translation>The file is incomplete: it ends before its elements end</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>文件是空的，或者不是XML文件</source>
        <translation>The file is empty or not an XML file</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>文件不完整，在一个标记或字符的中间结束了</source>
        <translation>The file is incomplete: it ends in the middle of a tag or character</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>含有无效的字符或标记（二进制数据，或文字不符合文件的编码）</source>
        <translation>It contains invalid characters or tags (binary data, or text not in the file&apos;s encoding)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>结束标记与开始标记不匹配</source>
        <translation>An end tag does not match its start tag</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>使用了未定义的实体</source>
        <translation>An undefined entity is used</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>使用了未声明的命名空间前缀</source>
        <translation>An undeclared namespace prefix is used</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>根元素结束后还有其他内容</source>
        <translation>There is more content after the root element ends</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>文字编码与文件声明的不符</source>
        <translation>The text encoding differs from the one the file declares</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>实体展开后的文字超过文件本身的100倍（实体炸弹），拒绝读取</source>
        <translation>Expanded entities exceed 100 times the file&apos;s own size (an entity bomb); not read</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>XML格式错误</source>
        <translation>Malformed XML</translation>
    </message>
    <message>
        <location line="+129"/>
        <source>元素嵌套超过%1层</source>
        <translation>Elements are nested more than %1 levels deep</translation>
    </message>
    <message>
        <location line="+107"/>
        <source>名称超过4 MB</source>
        <translation>A name exceeds 4 MB</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>链接地址超过4 MB</source>
        <translation>A link address exceeds 4 MB</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>轨迹坐标 %1 过长</source>
        <translation>Track coordinate %1 is too long</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>坐标 %1 过长</source>
        <translation>Coordinate %1 is too long</translation>
    </message>
    <message>
        <location line="+66"/>
        <source>一个标记或注释超过16 MB，不是KML文件</source>
        <translation>A tag or comment exceeds 16 MB; this is not a KML file</translation>
    </message>
    <message>
        <location filename="../kml/kml_shapes.cpp" line="+64"/>
        <source>未命名</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1（区域，%2个顶点，%3个洞）</source>
        <translation>%1 (area, %2 vertices, holes: %3)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1（路线，%2个顶点，%3个洞）</source>
        <translation>%1 (route, %2 vertices, holes: %3)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1（区域，%2个顶点）</source>
        <translation>%1 (area, %2 vertices)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1（路线，%2个顶点）</source>
        <translation>%1 (route, %2 vertices)</translation>
    </message>
</context>
<context>
    <name>ops</name>
    <message>
        <location filename="../ops/drawing_to_kml.cpp" line="+25"/>
        <source>有%1个对象的坐标远在投影带之外（超出±1e9或纬度超过90°），没有写入KML文件。</source>
        <translation>%1 object(s) lie far outside the projection zone (beyond ±1e9 or latitude over 90°) and were not written to the KML file.</translation>
    </message>
    <message>
        <location filename="../ops/kml_to_drawing.cpp" line="+14"/>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 个地标（Placemark）</source>
        <translation>%1 placemark(s)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 个三维模型（Model）</source>
        <translation>%1 3D model(s)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 个图片叠加层（Overlay）</source>
        <translation>%1 image overlay(s)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>KML文件中没有可绘制的点或线，也没有地标（Placemark）。</source>
        <translation>The KML file has no points or lines to draw, and no placemarks.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>KML文件中没有可绘制的点或线（文件中有：%1）。</source>
        <translation>The KML file has no points or lines to draw (it holds %1).</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>有 %1 个网络链接（NetworkLink）指向文件以外的地址，没有读取：%2</source>
        <translation>%1 network link(s) (NetworkLink) point to addresses outside the file and were not read: %2</translation>
    </message>
    <message>
        <location filename="../ops/contours.cpp" line="+45"/>
        <source>所选范围内没有等高线（地形起伏小于等高距？）。</source>
        <translation>No contours in the chosen extent (relief less than the contour interval?).</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>已把%1条等高线（其中计曲线%2条）画入CAD图形，用时%3秒。</source>
        <translation>Drew %1 contours (%2 of them index contours) into the CAD drawing in %3 s.</translation>
    </message>
    <message>
        <location filename="../ops/elevation_points.cpp" line="+32"/>
        <source>点表中没有X、Y、H都是数字的点，没有画入CAD图形。</source>
        <translation>No point in the point table has numbers for X, Y and H; nothing was drawn into the CAD drawing.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>已把%1个高程点画入CAD图形（图层“高程点”）。</source>
        <translation>Drew %1 elevation points into the CAD drawing (layer &quot;高程点&quot;).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>
有%1行的X、Y或H不是数字，没有画入。</source>
        <translation>
%1 rows with an X, Y or H that is not a number were not drawn.</translation>
    </message>
    <message>
        <location filename="../ops/kml_shapes.cpp" line="+17"/>
        <source>%1 中没有多边形（闭合的坐标串），不能作为区域边界。</source>
        <translation>%1 has no polygon (closed coordinate string) to serve as the area boundary.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 中没有路径（两个顶点以上的线），不能作为路线。</source>
        <translation>%1 has no path (line of two or more vertices) to serve as the route.</translation>
    </message>
    <message>
        <location filename="../ops/profile.cpp" line="+59"/>
        <source>有%1个点没有地形数据，未加入。</source>
        <translation> %1 points have no terrain data and were not added.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>已把纵断面的%1个点加入点表。</source>
        <translation>Added %1 profile points to the point table.</translation>
    </message>
</context>
<context>
    <name>points</name>
    <message>
        <location filename="../points/bad_lines.cpp" line="+12"/>
        <source>第 %1 行：%2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>、</source>
        <extracomment>Between the numbers of the lines in a list.</extracomment>
        <translation>, </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>第 %1 行等 %2 行</source>
        <translation>lines %1 and more (%2 in all)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>第 %1 行</source>
        <translation>line(s) %1</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>“%1”</source>
        <translation>&quot;%1&quot;</translation>
    </message>
    <message>
        <location filename="../points/control_point_file.cpp" line="+31"/>
        <location line="+5"/>
        <source>点名</source>
        <translation>Point name</translation>
    </message>
    <message>
        <location line="-5"/>
        <source>源X</source>
        <translation>Source X</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>源Y</source>
        <translation>Source Y</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+5"/>
        <source>源H</source>
        <translation>Source H</translation>
    </message>
    <message>
        <location line="-4"/>
        <location line="+5"/>
        <source>目标X</source>
        <translation>Target X</translation>
    </message>
    <message>
        <location line="-5"/>
        <location line="+5"/>
        <source>目标Y</source>
        <translation>Target Y</translation>
    </message>
    <message>
        <location line="-4"/>
        <location line="+5"/>
        <source>目标H</source>
        <translation>Target H</translation>
    </message>
    <message>
        <location line="-3"/>
        <source>纬度</source>
        <translation>Latitude</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>经度</source>
        <translation>Longitude</translation>
    </message>
    <message>
        <location line="+73"/>
        <source>源坐标类型与前面的注释行不同</source>
        <translation>the source coordinate type differs from the comment line above</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>应有 7 或 8 个字段，实有 %1 个（字段以逗号、制表符或分号分隔）</source>
        <translation>expected 7 or 8 fields, found %1 (fields are separated by commas, tabs or semicolons)</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>点名为空</source>
        <translation>the point name is empty</translation>
    </message>
    <message>
        <location line="+9"/>
        <location filename="../points/import_reader.cpp" line="+86"/>
        <source>%1为空</source>
        <translation>%1 is empty</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../points/import_reader.cpp" line="+1"/>
        <source>%1“%2”不是数值</source>
        <translation>%1 &quot;%2&quot; is not a number</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>纬度 %1 超出 −90° 至 90°</source>
        <translation>latitude %1 is outside −90° to 90°</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>经度 %1 超出 −180° 至 180°</source>
        <translation>longitude %1 is outside −180° to 180°</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>使用“%1”应为 1 或 0</source>
        <translation>the use flag &quot;%1&quot; must be 1 or 0</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>无法读取控制点（%1）：%2无法读取，没有读入任何控制点。%3。</source>
        <translation>Cannot read control points (%1): %2 could not be read, no control points were read. %3.</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>无法读取文件 %1：文件既不是 UTF-8 也不是 GB18030 编码的文字。</source>
        <translation>Cannot read file %1: the file is neither UTF-8 nor GB18030 text.</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>无法写入文件 %1：控制点 %2 的坐标不是有限数值。</source>
        <translation>Cannot write file %1: the coordinates of control point %2 are not finite numbers.</translation>
    </message>
    <message>
        <location filename="../points/import_reader.cpp" line="-40"/>
        <source>含有 GB18030 编码中无效的字节</source>
        <translation>contains bytes that are invalid in GB18030</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>应有 %1 个字段，实有 %2 个（分隔符为“%3”）</source>
        <translation>expected %1 fields, found %2 (separator &quot;%3&quot;)</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>无法导入文件 %1：%2无法读取，没有导入任何点。%3。</source>
        <translation>Cannot import file %1: %2 could not be read, no points were imported. %3.</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>无法导入文件 %1：导出页的选择框中没有字段。</source>
        <translation>Cannot import file %1: no fields are selected on the Export page.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>无法导入文件 %1：导出页的分隔符为空，各字段连在一起无法分开。请在导出页输入文件所用的分隔符，再导入。</source>
        <translation>Cannot import file %1: the separator on the Export page is empty, so the fields cannot be told apart. Enter the separator the file uses on the Export page, then import again.</translation>
    </message>
    <message>
        <location filename="../points/journal_folder.cpp" line="+96"/>
        <location filename="../points/point_journal.cpp" line="+254"/>
        <source>点表恢复文件 %1 正被另一个运行中的程序使用</source>
        <translation>The point table recovery file %1 is in use by another running program</translation>
    </message>
    <message>
        <location filename="../points/point_journal.cpp" line="-109"/>
        <source>无法锁定点表恢复文件 %1：%2</source>
        <translation>Cannot lock the point table recovery file %1: %2</translation>
    </message>
    <message>
        <location filename="../points/journal_folder.cpp" line="-6"/>
        <location filename="../points/point_journal.cpp" line="+9"/>
        <source>无法写入点表恢复文件 %1：%2</source>
        <translation>Cannot write the point table recovery file %1: %2</translation>
    </message>
    <message>
        <location filename="../points/point_journal.cpp" line="+250"/>
        <source>文件 %1 不是点表恢复文件</source>
        <translation>File %1 is not a point table recovery file</translation>
    </message>
    <message>
        <location filename="../points/point_table_model.cpp" line="+38"/>
        <source>点号</source>
        <translation>Point</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>描述</source>
        <translation>Desc.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>纵坐标X</source>
        <translation>Northing X</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>横坐标Y</source>
        <translation>Easting Y</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>高程H</source>
        <translation>H (m)</translation>
    </message>
</context>
<context>
    <name>raster</name>
    <message>
        <location filename="../raster/block_cache.cpp" line="+51"/>
        <source>无法读取高程栅格“%1”的数据块（%2, %3）</source>
        <translation>Cannot read the data block (%2, %3) of the elevation raster &quot;%1&quot;</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>：它引用的文件“%1”不存在或无法访问</source>
        <translation>: the file “%1” it refers to does not exist or cannot be reached</translation>
    </message>
    <message>
        <location filename="../raster/elevation_source.cpp" line="+31"/>
        <source>无法读取高程栅格“%1”：%2</source>
        <translation>Cannot read the elevation raster &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>来自网址的 VRT 不能使用原始数据波段（VRTRawRasterBand），它会读取文件“%1”</source>
        <translation>a VRT from an address may not use raw bands (VRTRawRasterBand); it would read the file “%1”</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>服务器上没有这个文件，或服务器没有响应（请检查地址和网络连接）</source>
        <translation>the file is not on the server, or the server does not respond (check the address and the network connection)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>文件不存在或无法访问</source>
        <translation>the file does not exist or cannot be accessed</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>GDAL 无法把它作为栅格打开（不可读、不是可识别的栅格格式或内容无效）</source>
        <translation>GDAL cannot open it as a raster (unreadable, not a recognised raster format, or invalid content)</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>文件中没有栅格波段</source>
        <translation>the file has no raster band</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>栅格只有 %1 × %2 个格网，至少需要 2 × 2 个格网才能插值高程</source>
        <translation>the raster has only %1 × %2 cells; at least 2 × 2 cells are needed to interpolate elevations</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>一个数据块解码后有 %1 MB（%2 个波段），不是高程数据</source>
        <translation>one block of it decodes to %1 MB (%2 bands); it is no elevation data</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>没有坐标系定义（例如缺少 .prj 文件或投影信息）</source>
        <translation>no coordinate system defined (for example, the .prj file or the projection information is missing)</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>无法从 WGS84 经纬度转换到该栅格的坐标系</source>
        <translation>cannot transform from WGS84 latitude/longitude to the raster&apos;s coordinate system</translation>
    </message>
    <message>
        <location line="+64"/>
        <source>没有地理变换参数（格网在坐标系中的位置未知）</source>
        <translation>no geotransform (the grid&apos;s position in the coordinate system is unknown)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>地理变换参数不可逆（格网大小为零）</source>
        <translation>the geotransform cannot be inverted (zero cell size)</translation>
    </message>
    <message>
        <location filename="../raster/gdal_support.cpp" line="+378"/>
        <source>（GDAL：%1）</source>
        <translation> (GDAL: %1)</translation>
    </message>
    <message>
        <location filename="../raster/tile_fetch.cpp" line="+65"/>
        <source>GDAL 未能发出网络请求</source>
        <translation>GDAL could not send the network request</translation>
    </message>
    <message>
        <location filename="../raster/tile_service.cpp" line="+174"/>
        <source>无法连接影像服务“%1”，显示已缓存的影像（%2 个瓦片未能下载：%3）</source>
        <translation>Cannot connect to the imagery service &quot;%1&quot;; showing cached imagery (%2 tiles not downloaded: %3)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>无法连接影像服务“%1”，此处暂无影像（%2）</source>
        <translation>Cannot connect to the imagery service &quot;%1&quot;; no imagery here for now (%2)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>影像服务“%1”拒绝了 %2 个瓦片请求（%3），这些位置留空</source>
        <translation>The imagery service &quot;%1&quot; refused %2 tile requests (%3); those places are left blank</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>影像服务“%1”返回的 %2 个瓦片不是图像（可能是网页或错误信息），这些位置留空；请检查瓦片地址</source>
        <translation>%2 tiles from the imagery service &quot;%1&quot; are not images (perhaps web pages or error messages); those places are left blank. Check the tile address</translation>
    </message>
    <message>
        <location line="+80"/>
        <source>瓦片地址“%1”的 #maxzoom= 后应为 0 到 22 的整数</source>
        <translation>In the tile address &quot;%1&quot;, #maxzoom= must be followed by a whole number from 0 to 22</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>瓦片地址“%1”缺少 %2：XYZ 瓦片地址须同时含有 {z}、{x} 和 {y}（TMS 行号用 {-y}）</source>
        <translation>The tile address &quot;%1&quot; lacks %2: an XYZ tile address must contain {z}, {x} and {y} (TMS rows use {-y})</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>瓦片地址“%1”不是 http:// 或 https:// 地址</source>
        <translation>The tile address &quot;%1&quot; is not an http:// or https:// address</translation>
    </message>
    <message>
        <location filename="../raster/imagery_source.cpp" line="+83"/>
        <source>地址“%1”不是可识别的影像服务或影像文件：请给出含 {z}、{x}、{y} 的瓦片地址、WMTS 能力文档地址（含 WMTS）、WMS 地址（含 service=WMS），或云优化 GeoTIFF 的地址</source>
        <translation>The address &quot;%1&quot; is not a recognised imagery service or image file: give a tile address with {z}, {x}, {y}, a WMTS capabilities address (containing WMTS), a WMS address (containing service=WMS), or the address of a cloud-optimised GeoTIFF</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>影像文件“%1”不存在或无法访问</source>
        <translation>The image file &quot;%1&quot; does not exist or cannot be accessed</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>GDAL 无法把“%1”作为影像打开（不可读、不是可识别的栅格格式或内容无效）</source>
        <translation>GDAL cannot open &quot;%1&quot; as imagery (unreadable, not a recognised raster format, or invalid content)</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>无法打开影像服务“%1”（请检查地址和网络连接）</source>
        <translation>Cannot open the imagery service &quot;%1&quot; (check the address and the network connection)</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>影像</source>
        <translation>imagery</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>影像“%1”中没有栅格波段</source>
        <translation>The imagery &quot;%1&quot; has no raster band</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>影像“%1”没有地理参考，无法叠加到地形上（需要坐标系和地理变换，例如 GeoTIFF，或带 .jgw/.pgw 世界文件的图片；世界文件不是经纬度时还需要 .prj）</source>
        <translation>The imagery &quot;%1&quot; has no georeferencing and cannot be draped on the terrain (it needs a coordinate system and a geotransform, e.g. a GeoTIFF, or an image with a .jgw/.pgw world file; a world file not in latitude/longitude also needs a .prj)</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>无法把影像“%1”的坐标系转换到 WGS84 经纬度</source>
        <translation>Cannot transform the coordinate system of the imagery &quot;%1&quot; to WGS84 latitude/longitude</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>无法读取影像“%1”（文件可能已被移动、删除或损坏）</source>
        <translation>Cannot read the imagery &quot;%1&quot; (the file may have been moved, deleted or damaged)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>无法从影像服务“%1”读取这一片影像，暂时留空</source>
        <translation>Cannot read this part of the imagery from the service &quot;%1&quot;; left blank for now</translation>
    </message>
    <message>
        <location filename="../raster/mosaic.cpp" line="+43"/>
        <source>无法读取%1“%2”：%3</source>
        <translation>Cannot read %1 &quot;%2&quot;: %3</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>无法读取该压缩文件，或其中没有文件</source>
        <translation>cannot read the zip archive, or it holds no files</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>无法列出文件夹内容（%1）</source>
        <translation>cannot list the folder&apos;s contents (%1)</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>其中的文件“%1”无法作为栅格打开%2</source>
        <translation>its file “%1” cannot be opened as a raster%2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>其中的文件“%1”中没有栅格波段</source>
        <translation>its file “%1” has no raster band</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>其中的文件“%1”没有地理变换参数（格网在坐标系中的位置未知）</source>
        <translation>its file “%1” has no geotransform (the grid’s position in the coordinate system is unknown)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>其中的文件“%1”没有坐标系定义（例如缺少 .prj 文件或投影信息）</source>
        <translation>its file “%1” has no coordinate system (for example, the .prj file or the projection information is missing)</translation>
    </message>
    <message>
        <location line="+72"/>
        <source>其中的文件“%1”无法与同一坐标系的其他瓦片拼接%2</source>
        <translation>its file “%1” cannot be mosaicked with the other tiles of its coordinate system%2</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>文件夹中没有 GDAL 能读取的带地理参考的栅格文件</source>
        <translation>the folder holds no georeferenced raster file that GDAL can read</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>其中的瓦片分属 %1 个坐标系（%2），这里只能使用同一坐标系的瓦片</source>
        <translation>its tiles lie in %1 coordinate systems (%2); only tiles of one coordinate system can be used here</translation>
    </message>
    <message>
        <location line="-74"/>
        <location line="+3"/>
        <location line="+12"/>
        <source>无法拼接文件夹中的栅格</source>
        <translation>cannot mosaic the rasters in the folder</translation>
    </message>
    <message>
        <location filename="../raster/mosaic.h" line="+44"/>
        <location line="+5"/>
        <source>高程栅格</source>
        <translation>elevation raster</translation>
    </message>
</context>
<context>
    <name>survey</name>
    <message>
        <location filename="../survey/boundary_sampling.cpp" line="+81"/>
        <source>区域边界至少要有三个不同的顶点。</source>
        <translation>The area boundary needs at least three distinct vertices.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>区域边界自相交（边与边交叉），请修改边界后再采点。</source>
        <translation>The area boundary intersects itself (edges cross). Correct the boundary, then sample again.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>区域中的第%1个洞的边界自相交，请修改边界后再采点。</source>
        <translation>The boundary of hole %1 in the area intersects itself. Correct the boundary, then sample again.</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../survey/route_profile.cpp" line="+44"/>
        <source>采样间距必须大于0。</source>
        <translation>The sampling interval must be greater than 0.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>区域内约有%1个格网点，超过5000万个。请加大采样间距或缩小区域。</source>
        <translation>The area holds about %1 grid points, more than 50 million. Increase the sampling interval or reduce the area.</translation>
    </message>
    <message>
        <location filename="../survey/contours.cpp" line="+46"/>
        <source>所选范围不在高程数据范围之内。</source>
        <translation>The selected area is outside the elevation data.</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>无法读取高程栅格“%1”。</source>
        <translation>Cannot read the elevation raster &quot;%1&quot;.</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>无法读取高程栅格“%1”：无法在 WGS84 经纬度与该栅格的坐标系之间转换</source>
        <translation>Cannot read the elevation raster &quot;%1&quot;: cannot transform between WGS84 latitude/longitude and the raster&apos;s coordinate system</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>等高距必须是大于零的数值。</source>
        <translation>The contour interval must be a number greater than zero.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>没有给出生成等高线的范围。</source>
        <translation>No area was given for the contours.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>范围的每个边界至少需要三个顶点。</source>
        <translation>Each boundary of the area needs at least three vertices.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>范围的顶点坐标无效（纬度须在 −90° 到 90° 之间）。</source>
        <translation>Invalid vertex coordinates in the area (latitude must be between −90° and 90°).</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>范围无效：边界在高程数据的坐标系中围不成面。</source>
        <translation>Invalid area: the boundary encloses no surface in the elevation data&apos;s coordinate system.</translation>
    </message>
    <message>
        <location line="+83"/>
        <source>无法读取高程栅格“%1”：%2</source>
        <translation>Cannot read the elevation raster &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>读取高程数据失败</source>
        <translation>reading the elevation data failed</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>读取高程数据的掩膜失败</source>
        <translation>reading the elevation data&apos;s mask failed</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>所选范围内没有高程数据（高程栅格在此处全为空值）。</source>
        <translation>There is no elevation data in the selected area (the raster holds only no-data values here).</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>生成等高线失败</source>
        <translation>generating the contours failed</translation>
    </message>
    <message>
        <location line="+122"/>
        <source>所选范围太大：约 %1 亿个高程格网，一次最多 %2 亿个。请选择较小的范围，分几次生成。</source>
        <translation>The selected area is too large: about %1 × 10⁸ elevation cells, at most %2 × 10⁸ at a time. Choose a smaller area and generate in several runs.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>等高线过密：顶点将超过 %1 万个。请加大等高距或缩小范围。</source>
        <translation>The contours are too dense: there would be more than %1 × 10⁴ vertices. Increase the contour interval or reduce the area.</translation>
    </message>
    <message>
        <location filename="../ops/profile.cpp" line="-43"/>
        <location filename="../survey/route_profile.cpp" line="-2"/>
        <source>路线至少要有两个顶点。</source>
        <translation>The route needs at least two vertices.</translation>
    </message>
    <message>
        <location filename="../survey/route_profile.cpp" line="+8"/>
        <source>第%1个顶点的经纬度不是有效数字。</source>
        <translation>The latitude/longitude of vertex %1 is not a valid number.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>第%1个顶点的纬度超出 ±90°。</source>
        <translation>The latitude of vertex %1 is beyond ±90°.</translation>
    </message>
    <message>
        <location line="+110"/>
        <source>纵断面将有 %1 个采样点，超过上限 %2 个，请加大采样间距。</source>
        <translation>The longitudinal profile would have %1 sample points, more than the limit of %2. Increase the sampling interval.</translation>
    </message>
</context>
</TS>
