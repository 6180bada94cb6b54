#include "app/projection_dialog.h"

#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keldarn::app {

namespace {

// The datum fields in the order of SevenParameters, with their captions.
constexpr std::array<std::pair<const char*, double geodesy::SevenParameters::*>, 7> kDatumFields{{
    {QT_TRANSLATE_NOOP("ProjectionDialog", "ΔX(米)"), &geodesy::SevenParameters::dxM},
    {QT_TRANSLATE_NOOP("ProjectionDialog", "ΔY(米)"), &geodesy::SevenParameters::dyM},
    {QT_TRANSLATE_NOOP("ProjectionDialog", "ΔZ(米)"), &geodesy::SevenParameters::dzM},
    {QT_TRANSLATE_NOOP("ProjectionDialog", "旋转rx(秒)"), &geodesy::SevenParameters::rxArcSec},
    {QT_TRANSLATE_NOOP("ProjectionDialog", "旋转ry(秒)"), &geodesy::SevenParameters::ryArcSec},
    {QT_TRANSLATE_NOOP("ProjectionDialog", "旋转rz(秒)"), &geodesy::SevenParameters::rzArcSec},
    {QT_TRANSLATE_NOOP("ProjectionDialog", "尺度(ppm)"), &geodesy::SevenParameters::scalePpm},
}};

QString Number(double value)
{
    return QString::number(value, 'g', 15);
}

}  // namespace

ProjectionDialog::ProjectionDialog(QWidget* owner, const ProjectionRequest& request)
    : QDialog(owner), viewCentreLonDeg_(request.viewCentreLonDeg)
{
    const geodesy::ProjectionChoice& current = request.current;
    setWindowTitle(tr("椭球与分带"));
    ellipsoid_ = new QComboBox;
    ellipsoid_->setObjectName(QStringLiteral("EllipsoidChoice"));
    for (const geodesy::EllipsoidChoice choice : geodesy::kEllipsoidChoices) {
        const geodesy::Ellipsoid& e = geodesy::EllipsoidOf(choice);
        ellipsoid_->addItem(QString::fromStdString(geodesy::DisplayName(choice)) +
                            tr("（a=%1，1/f=%2）").arg(Number(e.a), Number(e.invF)));
        if (choice == current.ellipsoid)
            ellipsoid_->setCurrentIndex(ellipsoid_->count() - 1);
    }
    zoneWidth_ = new QComboBox;
    zoneWidth_->setObjectName(QStringLiteral("ZoneWidthChoice"));
    zoneWidth_->addItems({tr("3°带"), tr("6°带")});
    zoneWidth_->setCurrentIndex(current.zoneWidth == geodesy::ZoneWidth::Six ? 1 : 0);
    zoneNumber_ = new QComboBox;
    zoneNumber_->setObjectName(QStringLiteral("ZoneNumberChoice"));
    zoneNumber_->addItems({tr("自动判断（反算时去掉整百万米，程序默认）"), tr("不含带号"),
                           tr("含带号（Y = 带号×1000000 + 横坐标）")});
    zoneNumber_->setCurrentIndex(static_cast<int>(current.zoneNumber));
    meridian_ = new QLineEdit(request.centralMeridianText);
    meridian_->setObjectName(QStringLiteral("CentralMeridian"));
    offer_ = new QPushButton;
    offer_->setObjectName(QStringLiteral("OfferedMeridian"));
    offer_->setAutoDefault(false);
    offer_->hide();
    connect(offer_, &QPushButton::clicked, this, [this] {
        meridian_->setText(QString::fromStdString(geodesy::FormatFixed(offeredMeridianDeg_, 4)));
        ClearRefusal();
        meridian_->setFocus();
    });
    for (QComboBox* choice : {zoneWidth_, zoneNumber_})
        connect(choice, &QComboBox::currentIndexChanged, this, &ProjectionDialog::ClearRefusal);
    connect(meridian_, &QLineEdit::textEdited, this, &ProjectionDialog::ClearRefusal);

    datum_ = new QGroupBox(tr("WGS84到本坐标系的七参数（布尔莎模型，在地心坐标上）"));
    datum_->setObjectName(QStringLiteral("DatumGroup"));
    datum_->setCheckable(true);
    datum_->setChecked(current.datum.has_value());
    const geodesy::SevenParameters datum = current.datum.value_or(geodesy::SevenParameters{});
    auto* grid = new QGridLayout(datum_);
    for (std::size_t k = 0; k < kDatumFields.size(); ++k) {
        datumFields_[k] = new QLineEdit(Number(datum.*kDatumFields[k].second));
        datumFields_[k]->setObjectName(QStringLiteral("Datum%1").arg(k));
        const int row = static_cast<int>(k % 3), column = static_cast<int>(k / 3) * 2;
        grid->addWidget(new QLabel(QCoreApplication::translate("ProjectionDialog", kDatumFields[k].first)),
                        k == 6 ? 3 : row, k == 6 ? 0 : column);
        grid->addWidget(datumFields_[k], k == 6 ? 3 : row, k == 6 ? 1 : column + 1);
    }
    convention_ = new QComboBox;
    convention_->setObjectName(QStringLiteral("ConventionChoice"));
    convention_->addItems({tr("位置矢量（Position Vector，EPSG:1033，同 PROJ 的 +towgs84）"),
                           tr("坐标框架（Coordinate Frame，EPSG:1032）")});
    convention_->setCurrentIndex(datum.convention == geodesy::RotationConvention::CoordinateFrame ? 1 : 0);
    grid->addWidget(new QLabel(tr("旋转约定")), 4, 0);
    grid->addWidget(convention_, 4, 1, 1, 3);
    auto* hint = new QLabel(tr("两种约定的旋转角符号相反：同一组参数，按资料注明的约定选择。"
                               "七参数把 WGS84 经纬度换到本坐标系的椭球上再投影；反算时严格逆转。"));
    hint->setWordWrap(true);
    grid->addWidget(hint, 5, 0, 1, 4);

    error_ = new QLabel;
    error_->setStyleSheet(QStringLiteral("color: #b00000;"));
    error_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("椭球："), ellipsoid_);
    form->addRow(tr("分带："), zoneWidth_);
    form->addRow(tr("Y坐标："), zoneNumber_);
    form->addRow(tr("投影带中央子午线(度)："), meridian_);
    QDialogButtonBox* buttons = OkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(datum_);
    layout->addWidget(error_);
    layout->addWidget(offer_, 0, Qt::AlignLeft);  // the remedy under the reason
    layout->addWidget(buttons);
    setMinimumWidth(560);
}

std::optional<geodesy::ProjectionChoice> ProjectionDialog::Choice() const
{
    geodesy::ProjectionChoice choice;
    choice.ellipsoid = geodesy::kEllipsoidChoices[static_cast<std::size_t>(ellipsoid_->currentIndex())];
    choice.zoneWidth = zoneWidth_->currentIndex() == 1 ? geodesy::ZoneWidth::Six : geodesy::ZoneWidth::Three;
    choice.zoneNumber = static_cast<geodesy::ZoneNumberInY>(zoneNumber_->currentIndex());
    if (datum_->isChecked()) {
        geodesy::SevenParameters datum;
        for (std::size_t k = 0; k < kDatumFields.size(); ++k) {
            try {
                datum.*kDatumFields[k].second =
                    geodesy::ParseNumberOrZero(datumFields_[k]->text().toStdString());
            } catch (const geodesy::InvalidNumberError&) {
                return std::nullopt;
            }
        }
        datum.convention = convention_->currentIndex() == 1 ? geodesy::RotationConvention::CoordinateFrame
                                                            : geodesy::RotationConvention::PositionVector;
        choice.datum = datum;
    }
    return choice;
}

std::optional<ProjectionAnswer> ProjectionDialog::Answer() const
{
    const auto choice = Choice();
    if (!choice)
        return std::nullopt;
    return ProjectionAnswer{*choice, meridian_->text()};
}

void ProjectionDialog::accept()
{
    const auto choice = Choice();
    if (!choice) {
        error_->setText(tr("七参数中有不是数字的值，请改正。"));
        return;
    }
    // A blank meridian is set later, on the projection page, and checked when it is used.
    const std::string meridian = meridian_->text().toStdString();
    if (!geodesy::TrimBlanks(meridian).empty()) {
        try {
            static_cast<void>(geodesy::ZoneProjection(geodesy::ReadCentralMeridian(meridian), *choice));
        } catch (const geodesy::ProjectionSetupError& error) {
            Refuse(QString::fromUtf8(error.what()), *choice);
            return;
        } catch (const geodesy::InvalidNumberError& error) {
            error_->setText(QString::fromUtf8(error.what()));
            return;
        }
    }
    QDialog::accept();
}

void ProjectionDialog::Refuse(const QString& reason, const geodesy::ProjectionChoice& choice)
{
    error_->setText(reason);
    // The zone of the chosen width at the map window's centre, as 下一步 proposes it; without
    // a map, the zone of that width around the meridian typed.
    std::optional<double> aroundDeg = viewCentreLonDeg_;
    if (!aroundDeg) {
        try {
            aroundDeg = geodesy::ParseNumberOrZero(meridian_->text().toStdString());
        } catch (const geodesy::InvalidNumberError&) {
            return;
        }
    }
    offeredMeridianDeg_ = geodesy::ProposeZoneMeridian(*aroundDeg, choice.zoneWidth);
    const QString width = QString::number(static_cast<int>(choice.zoneWidth));
    const QString meridianText = QString::fromStdString(geodesy::FormatFixed(offeredMeridianDeg_, 4));
    offer_->setText(viewCentreLonDeg_ ? tr("改用地图窗中心所在%1°带的中央子午线 %2").arg(width, meridianText)
                                      : tr("改用%1°带的中央子午线 %2").arg(width, meridianText));
    offer_->show();
    // Room for the button without squeezing the wrapped texts above it.
    resize(size().expandedTo(sizeHint()));
}

void ProjectionDialog::ClearRefusal()
{
    error_->clear();
    offer_->hide();
}

QString DescribeProjection(const geodesy::ProjectionChoice& choice)
{
    QString text = QString::fromStdString(geodesy::DisplayName(choice.ellipsoid));
    text += choice.zoneWidth == geodesy::ZoneWidth::Six
                ? QCoreApplication::translate("ProjectionDialog", "，6°带")
                : QCoreApplication::translate("ProjectionDialog", "，3°带");
    if (choice.zoneNumber == geodesy::ZoneNumberInY::With)
        text += QCoreApplication::translate("ProjectionDialog", "，Y含带号");
    else if (choice.zoneNumber == geodesy::ZoneNumberInY::Without)
        text += QCoreApplication::translate("ProjectionDialog", "，Y不含带号");
    if (choice.datum)
        text += QCoreApplication::translate("ProjectionDialog", "，七参数");
    return text;
}

}  // namespace keldarn::app
