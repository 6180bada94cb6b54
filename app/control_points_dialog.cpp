#include "app/control_points_dialog.h"

#include "geodesy/central_meridian.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace keldarn::app {

namespace {

enum Column {
    kName,
    kSourceA,
    kSourceB,
    kSourceH,
    kTargetX,
    kTargetY,
    kTargetH,
    kUsed,
    kVx,
    kVy,
    kVh,
    kColumns
};

QString Fixed(double value, int decimals)
{
    return QString::fromStdString(geodesy::FormatFixed(value, decimals));
}

// A number as a cell shows it: the fewest decimals that read back as the same double, in
// plain decimal form as surveyors write coordinates.
QString Exact(double value)
{
    for (int decimals = 0; decimals <= 12; ++decimals) {
        const QString text = QString::number(value, 'f', decimals);
        if (text.toDouble() == value)
            return text;
    }
    return QString::number(value, 'f', 12);
}

QStringList Headers(points::ControlSourceKind kind)
{
    const bool geographic = kind == points::ControlSourceKind::Geographic;
    return {QCoreApplication::translate("ControlPointsDialog", "点名"),
            geographic ? QCoreApplication::translate("ControlPointsDialog", "纬度(度)")
                       : QCoreApplication::translate("ControlPointsDialog", "源X"),
            geographic ? QCoreApplication::translate("ControlPointsDialog", "经度(度)")
                       : QCoreApplication::translate("ControlPointsDialog", "源Y"),
            QCoreApplication::translate("ControlPointsDialog", "源H"),
            QCoreApplication::translate("ControlPointsDialog", "目标X"),
            QCoreApplication::translate("ControlPointsDialog", "目标Y"),
            QCoreApplication::translate("ControlPointsDialog", "目标H"),
            QCoreApplication::translate("ControlPointsDialog", "使用"),
            QCoreApplication::translate("ControlPointsDialog", "残差vX"),
            QCoreApplication::translate("ControlPointsDialog", "残差vY"),
            QCoreApplication::translate("ControlPointsDialog", "残差vH")};
}

}  // namespace

ControlPointsDialog::ControlPointsDialog(QWidget* owner, Dialogs& dialogs,
                                         const ControlPointsRequest& request)
    : QDialog(owner), dialogs_(dialogs), centralMeridianText_(request.centralMeridianText),
      projection_(request.projection), fromTable_(request.fromTable)
{
    setWindowTitle(tr("四参数求解"));
    kind_ = new QComboBox;
    kind_->setObjectName(QStringLiteral("SourceKind"));
    kind_->addItem(tr("源坐标为当前投影带的平面坐标"));
    kind_->addItem(tr("源坐标为经纬度(度)"));
    heightPlane_ = new QCheckBox(tr("高程拟合（平面，至少三点）"));
    heightPlane_->setObjectName(QStringLiteral("HeightPlane"));

    table_ = new QTableWidget(0, kColumns);
    table_->setObjectName(QStringLiteral("ControlTable"));
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(kind_, &QComboBox::currentIndexChanged, this, [this](int index) {
        table_->setHorizontalHeaderLabels(Headers(static_cast<points::ControlSourceKind>(index)));
        ClearResiduals();
    });
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() < kVx)
            ClearResiduals();
    });

    const auto button = [this](const QString& text, const char* name, void (ControlPointsDialog::*slot)()) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* add = new QPushButton(tr("添加行"));
    add->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, [this] { AddCells({}, true); });
    auto* remove = new QPushButton(tr("删除行"));
    remove->setAutoDefault(false);
    connect(remove, &QPushButton::clicked, this, [this] {
        if (table_->currentRow() >= 0)
            table_->removeRow(table_->currentRow());
    });
    auto* tools = new QHBoxLayout;
    tools->addWidget(add);
    tools->addWidget(remove);
    tools->addWidget(button(tr("粘贴"), "PasteRows", &ControlPointsDialog::Paste));
    tools->addWidget(button(tr("取自点表"), "TakeFromTable", &ControlPointsDialog::TakeFromTable));
    tools->addWidget(button(tr("打开..."), "OpenFile", &ControlPointsDialog::ImportFile));
    tools->addWidget(button(tr("保存..."), "SaveFile", &ControlPointsDialog::SaveFile));
    tools->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(kind_);
    top->addWidget(heightPlane_);
    top->addStretch(1);

    result_ = new QLabel(tr("输入两个以上的控制点后按“计算”。"));
    result_->setObjectName(QStringLiteral("SolutionText"));
    result_->setWordWrap(true);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* solve = button(tr("计算"), "SolveButton", &ControlPointsDialog::SolveClicked);
    auto* apply = button(tr("应用"), "ApplyButton", &ControlPointsDialog::Apply);
    auto* close = new QPushButton(tr("关闭"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(solve);
    buttons->addWidget(apply);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(tools);
    layout->addWidget(table_, 1);
    layout->addWidget(result_);
    layout->addLayout(buttons);
    resize(980, 480);

    kind_->setCurrentIndex(static_cast<int>(request.sheet.kind));
    table_->setHorizontalHeaderLabels(Headers(request.sheet.kind));
    heightPlane_->setChecked(request.sheet.heightPlane);
    for (const ControlPointSheet::Row& row : request.sheet.rows)
        AddCells(row.cells, row.used);
    if (table_->rowCount() == 0)
        AddCells({}, true);
}

void ControlPointsDialog::AddRow(const points::ControlPointRow& row)
{
    QStringList cells{QString::fromStdString(row.name)};
    for (const double value : row.source)
        cells << Exact(value);
    for (const double value : row.target)
        cells << Exact(value);
    FillRow(cells, row.used);
}

bool ControlPointsDialog::IsBlankRow(int r) const
{
    for (int c = kName; c <= kTargetH; ++c)
        if (table_->item(r, c) && !table_->item(r, c)->text().trimmed().isEmpty())
            return false;
    return true;
}

void ControlPointsDialog::FillRow(const QStringList& cells, bool used)
{
    // The first of the empty rows at the end (the one the dialog opens with, or rows added
    // and not yet typed in), else a new one.
    int r = table_->rowCount();
    while (r > 0 && IsBlankRow(r - 1))
        --r;
    if (r < table_->rowCount())
        table_->removeRow(r);
    AddCells(cells, used, r);
}

void ControlPointsDialog::AddCells(const QStringList& cells, bool used, int r)
{
    const QSignalBlocker quiet(table_);
    if (r < 0)
        r = table_->rowCount();
    table_->insertRow(r);
    for (int c = kName; c <= kTargetH; ++c)
        table_->setItem(r, c, new QTableWidgetItem(cells.value(c)));
    auto* check = new QTableWidgetItem;
    check->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    check->setCheckState(used ? Qt::Checked : Qt::Unchecked);
    table_->setItem(r, kUsed, check);
    for (int c = kVx; c <= kVh; ++c) {
        auto* residual = new QTableWidgetItem;
        residual->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table_->setItem(r, c, residual);
    }
}

void ControlPointsDialog::ShowRows(const points::ControlPointList& list)
{
    table_->setRowCount(0);
    kind_->setCurrentIndex(static_cast<int>(list.kind));
    for (const points::ControlPointRow& row : list.rows)
        AddRow(row);
    ClearResiduals();
}

points::ControlPointList ControlPointsDialog::ReadRows() const
{
    points::ControlPointList list;
    list.kind = static_cast<points::ControlSourceKind>(kind_->currentIndex());
    for (int r = 0; r < table_->rowCount(); ++r) {
        const auto text = [&](int c) {
            return table_->item(r, c) ? table_->item(r, c)->text().trimmed() : QString();
        };
        if (IsBlankRow(r))
            continue;  // an empty row added and never filled
        points::ControlPointRow row;
        row.name = text(kName).toStdString();
        for (int c = kSourceA; c <= kTargetH; ++c) {
            double value = 0.0;
            try {
                value = geodesy::ParseNumber(text(c).toStdString());
            } catch (const geodesy::InvalidNumberError&) {
                const QString number = QString::number(r + 1);
                const QString cell = table_->horizontalHeaderItem(c)->text();
                const QString message =
                    text(kName).isEmpty()
                        ? tr("第%1行的%2“%3”不是数字。").arg(number, cell, text(c))
                        : tr("第%1行（%2）的%3“%4”不是数字。").arg(number, text(kName), cell, text(c));
                throw geodesy::ControlPointError(message.toStdString());
            }
            (c < kTargetX ? row.source[c - kSourceA] : row.target[c - kTargetX]) = value;
        }
        row.used = table_->item(r, kUsed) == nullptr || table_->item(r, kUsed)->checkState() == Qt::Checked;
        list.rows.push_back(std::move(row));
    }
    return list;
}

void ControlPointsDialog::ClearResiduals()
{
    const QSignalBlocker quiet(table_);
    solution_.reset();
    for (int r = 0; r < table_->rowCount(); ++r)
        for (int c = 0; c < kColumns; ++c)
            if (QTableWidgetItem* item = table_->item(r, c)) {
                if (c >= kVx)
                    item->setText(QString());
                item->setBackground(QBrush());
            }
}

bool ControlPointsDialog::Solve()
{
    try {
        const points::ControlPointList list = ReadRows();
        std::optional<geodesy::ZoneProjection> projection;
        if (list.kind == points::ControlSourceKind::Geographic)
            projection.emplace(geodesy::ReadCentralMeridian(centralMeridianText_.toStdString()), projection_);
        std::vector<geodesy::ControlPoint> control;
        for (const points::ControlPointRow& row : list.rows) {
            geodesy::ControlPoint point;
            point.name = row.name;
            point.source = {row.source[0], row.source[1], row.source[2]};
            if (list.kind == points::ControlSourceKind::Geographic) {
                const geodesy::PlanePoint plane =
                    projection->ToPlane(row.source[0], row.source[1], row.source[2]);
                point.source = {plane.x, plane.y, row.source[2]};
            }
            point.target = {row.target[0], row.target[1], row.target[2]};
            point.used = row.used;
            control.push_back(std::move(point));
        }
        const geodesy::ControlSolution solution = geodesy::SolveFourParameters(
            control, heightPlane_->isChecked() ? geodesy::HeightFit::Plane : geodesy::HeightFit::Mean);
        ShowSolution(solution, list);
        return true;
    } catch (const std::exception& error) {
        ClearResiduals();
        ShowError(QString::fromUtf8(error.what()));
        return false;
    }
}

void ControlPointsDialog::ShowSolution(const geodesy::ControlSolution& solution,
                                       const points::ControlPointList& list)
{
    ClearResiduals();
    const QSignalBlocker quiet(table_);
    // Rows that were read, in table order (blank rows are skipped by ReadRows).
    std::size_t k = 0;
    for (int r = 0; r < table_->rowCount() && k < list.rows.size(); ++r) {
        if (IsBlankRow(r))
            continue;
        const geodesy::ControlResidual& v = solution.residuals[k];
        table_->item(r, kVx)->setText(Fixed(v.vxM, 4));
        table_->item(r, kVy)->setText(Fixed(v.vyM, 4));
        table_->item(r, kVh)->setText(Fixed(v.vhM, 4));
        if (static_cast<int>(k) == solution.worst)
            for (int c = 0; c < kColumns; ++c)
                table_->item(r, c)->setBackground(QColor(255, 200, 200));
        ++k;
    }
    const geodesy::FourParameterSet& p = solution.parameters;
    QString text = tr("dx=%1 m  dy=%2 m  R=%3″  m=%4  dH=%5 m")
                       .arg(Fixed(p.dxM, 4), Fixed(p.dyM, 4), Fixed(p.rotArcSec, 6), Fixed(p.scale, 12),
                            Fixed(p.dHM, 4));
    // The adjustment's own accuracy measure, m0 over the redundancy; the RMS divides by the
    // number of points and reads smaller, so it keeps a name of its own.
    const int used = (solution.planeRedundancy + 4) / 2;
    text += QLatin1Char('\n') +
            (solution.unitWeightErrorM
                 ? tr("单位权中误差 m0 = ±%1 m（%2 个点，多余观测数 r = 2n − 4 = %3）")
                       .arg(Fixed(*solution.unitWeightErrorM, 4))
                       .arg(used)
                       .arg(solution.planeRedundancy)
                 : tr("单位权中误差 m0：两个点恰好定出四参数，没有多余观测（r = 0），无法估计"));
    text += tr("；平面残差均方根 %1 m，高程残差均方根 %2 m")
                .arg(Fixed(solution.rmsPlaneM, 4), Fixed(solution.rmsHeightM, 4));
    if (solution.worst >= 0)
        text += tr("；平面残差最大的点：%1（红色）")
                    .arg(QString::fromStdString(list.rows[static_cast<std::size_t>(solution.worst)].name));
    if (heightPlane_->isChecked())
        text += tr("\n高程拟合：dH 为控制点重心处的值，坡度 X 向 %1、Y 向 %2（应用时只写入 dH）")
                    .arg(Fixed(solution.heightSlopeX, 8), Fixed(solution.heightSlopeY, 8));
    result_->setText(text);
    solution_ = solution;
}

void ControlPointsDialog::Paste()
{
    try {
        const points::ControlPointList pasted = points::ParseControlPoints(
            QApplication::clipboard()->text().toStdString(),
            static_cast<points::ControlSourceKind>(kind_->currentIndex()), tr("粘贴的文字").toStdString());
        for (const points::ControlPointRow& row : pasted.rows)
            AddRow(row);
        ClearResiduals();
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    }
}

void ControlPointsDialog::ImportFile()
{
    FileDialogOptions options;
    options.title = tr("打开控制点文件");
    options.filter = tr("控制点文件 (*.txt *.csv)|*.txt;*.csv|All files (*.*)|*.*");
    const QString path = dialogs_.GetOpenFileName(this, options);
    if (path.isEmpty())
        return;
    try {
        ShowRows(points::ReadControlPointFile(path.toStdString()));
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    }
}

void ControlPointsDialog::SaveFile()
{
    FileDialogOptions options;
    options.title = tr("保存控制点文件");
    options.filter = tr("控制点文件 (*.txt)|*.txt");
    options.defaultSuffix = QStringLiteral("txt");
    options.fileName = tr("控制点");
    try {
        const points::ControlPointList list = ReadRows();
        const QString path = dialogs_.GetSaveFileName(this, options);
        if (path.isEmpty())
            return;
        points::WriteControlPointFile(path.toStdString(), list);
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    }
}

void ControlPointsDialog::TakeFromTable()
{
    if (fromTable_.empty()) {
        ShowError(tr("请先在点表中选中要作为控制点的行（X、Y、H都是数字），再打开本窗口。"));
        return;
    }
    if (kind_->currentIndex() != static_cast<int>(points::ControlSourceKind::Plane) &&
        table_->rowCount() > 0) {
        ShowError(tr("点表中的点以平面坐标取来，请先把源坐标改为平面坐标。"));
        return;
    }
    kind_->setCurrentIndex(static_cast<int>(points::ControlSourceKind::Plane));
    for (const points::ControlPointRow& row : fromTable_) {
        // The known grid coordinates are typed in.
        FillRow({QString::fromStdString(row.name), Exact(row.source[0]), Exact(row.source[1]),
                 Exact(row.source[2])},
                true);
    }
    ClearResiduals();
}

void ControlPointsDialog::SolveClicked()
{
    Solve();
}

void ControlPointsDialog::Apply()
{
    if (!Solve())
        return;
    applied_ = solution_->parameters;
    accept();
}

void ControlPointsDialog::ShowError(const QString& text)
{
    dialogs_.ShowMessage(this, text, windowTitle(), MessageIcon::Warning);
}

ControlPointsOutcome ControlPointsDialog::Outcome() const
{
    ControlPointsOutcome outcome;
    outcome.sheet.kind = static_cast<points::ControlSourceKind>(kind_->currentIndex());
    outcome.sheet.heightPlane = heightPlane_->isChecked();
    for (int r = 0; r < table_->rowCount(); ++r) {
        ControlPointSheet::Row row;
        for (int c = kName; c <= kTargetH; ++c)
            row.cells << (table_->item(r, c) ? table_->item(r, c)->text() : QString());
        row.used = table_->item(r, kUsed) == nullptr || table_->item(r, kUsed)->checkState() == Qt::Checked;
        outcome.sheet.rows.push_back(std::move(row));
    }
    outcome.applied = applied_;
    return outcome;
}

}  // namespace keldarn::app
