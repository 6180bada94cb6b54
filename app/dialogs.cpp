#include "app/dialogs.h"
#include "app/control_points_dialog.h"
#include "app/imagery_dialog.h"
#include "app/projection_dialog.h"
#include "app/separator_dialog.h"
#include "app/terrain_product_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include <algorithm>

namespace keldarn::app {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

QString RunFileDialog(QWidget* owner, const FileDialogOptions& options, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner, options.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The overwrite question belongs to the command, which asks it in its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!options.filter.isEmpty())
        dialog.setNameFilter(QtFilterFromPairs(options.filter));
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (!options.fileName.isEmpty())
        dialog.selectFile(options.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// A question with 是 and 否; Enter presses defaultButton, or the one Qt's platform style makes
// the default when it is NoButton.
bool AskYesOrNo(QWidget* owner, const QString& text, const QString& title,
                QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("Dialogs", "是"));
    box.button(QMessageBox::No)->setText(QCoreApplication::translate("Dialogs", "否"));
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace

QString QtFilterFromPairs(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i].section(QLatin1Char('('), 0, 0).trimmed();
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            // "*.*" is every file, and file names on Linux differ in case: *.KML and
            // *.kml are both offered.
            const QStringList variants = pattern == QLatin1String("*.*")
                                             ? QStringList{QStringLiteral("*")}
                                             : QStringList{pattern, pattern.toLower(), pattern.toUpper()};
            for (const QString& variant : variants)
                if (!patterns.contains(variant))
                    patterns << variant;
        }
        filters << QStringLiteral("%1 (%2)").arg(label, patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QLatin1String(";;"));
}

void QtDialogs::ShowMessage(QWidget* owner, const QString& text, const QString& title, MessageIcon icon)
{
    QMessageBox box(ToQtIcon(icon), title, text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtDialogs::AskYesNo(QWidget* owner, const QString& text, const QString& title)
{
    return AskYesOrNo(owner, text, title, QMessageBox::NoButton);
}

bool QtDialogs::AskYesNoDefaultNo(QWidget* owner, const QString& text, const QString& title)
{
    return AskYesOrNo(owner, text, title, QMessageBox::No);
}

bool Dialogs::AskYesNoDefaultNo(QWidget* owner, const QString& text, const QString& title)
{
    return AskYesNo(owner, text, title);
}

QString QtDialogs::GetSaveFileName(QWidget* owner, const FileDialogOptions& options)
{
    return RunFileDialog(owner, options, QFileDialog::AcceptSave);
}

QString QtDialogs::GetOpenFileName(QWidget* owner, const FileDialogOptions& options)
{
    return RunFileDialog(owner, options, QFileDialog::AcceptOpen);
}

QString QtDialogs::GetExistingDirectory(QWidget* owner, const QString& title)
{
    QFileDialog dialog(owner, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString Dialogs::GetText(QWidget*, const QString&, const QString&, const QString&)
{
    return {};
}

std::optional<ImageryChoice> Dialogs::ChooseImagery(QWidget*, const ImageryChoice&)
{
    return std::nullopt;
}

QDialogButtonBox* OkCancelButtons(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QCoreApplication::translate("Dialogs", "确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QCoreApplication::translate("Dialogs", "取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

std::optional<TerrainProductChoice> Dialogs::ChooseTerrainProduct(QWidget*, TerrainProduct,
                                                                  const TerrainProductChoice&)
{
    return std::nullopt;
}

int Dialogs::ChooseItem(QWidget*, const QString&, const QString&, const QStringList&)
{
    return -1;
}

std::optional<TerrainProductChoice> QtDialogs::ChooseTerrainProduct(QWidget* owner, TerrainProduct product,
                                                                    const TerrainProductChoice& current)
{
    TerrainProductDialog dialog(owner, product, current);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Choice();
}

ControlPointsOutcome Dialogs::EditControlPoints(QWidget*, const ControlPointsRequest& request)
{
    return {request.sheet, std::nullopt};
}

ControlPointsOutcome QtDialogs::EditControlPoints(QWidget* owner, const ControlPointsRequest& request)
{
    ControlPointsDialog dialog(owner, *this, request);
    dialog.exec();
    return dialog.Outcome();
}

std::optional<ProjectionAnswer> Dialogs::ChooseProjection(QWidget*, const ProjectionRequest&)
{
    return std::nullopt;
}

std::optional<ProjectionAnswer> QtDialogs::ChooseProjection(QWidget* owner, const ProjectionRequest& request)
{
    ProjectionDialog dialog(owner, request);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Answer();
}

int QtDialogs::ChooseItem(QWidget* owner, const QString& title, const QString& label,
                          const QStringList& items)
{
    QInputDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setOkButtonText(QCoreApplication::translate("Dialogs", "确定"));
    dialog.setCancelButtonText(QCoreApplication::translate("Dialogs", "取消"));
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    return static_cast<int>(items.indexOf(dialog.textValue()));
}

std::optional<ImageryChoice> QtDialogs::ChooseImagery(QWidget* owner, const ImageryChoice& current)
{
    ImageryDialog dialog(owner, current);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Choice();
}

std::optional<QString> Dialogs::ChooseSeparatorReplacement(QWidget*, const QString&, const QString&,
                                                           const QString&)
{
    return std::nullopt;
}

std::optional<QString> QtDialogs::ChooseSeparatorReplacement(QWidget* owner, const QString& text,
                                                             const QString& separator,
                                                             const QString& suggested)
{
    SeparatorDialog dialog(owner, text, separator, suggested);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Replacement();
}

QString QtDialogs::GetText(QWidget* owner, const QString& title, const QString& label, const QString& text)
{
    QInputDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(text);
    dialog.setInputMode(QInputDialog::TextInput);
    // Room for a whole address.
    dialog.resize(std::max(dialog.sizeHint().width(), 560), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue().isNull() ? QStringLiteral("") : dialog.textValue();
}

}  // namespace keldarn::app
