#pragma once

// Every modal interaction of the main window (message boxes, questions, open and save
// dialogs) goes through Dialogs, so that tests can answer dialogs and read the
// messages shown. QtDialogs is the interactive implementation.

#include "geodesy/zone_projection.h"

#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QDialogButtonBox;
class QWidget;

namespace keldarn::app {

enum class MessageIcon { Information, Warning, Error };

// Settings of one file dialog, kept by its owner between uses. The filter is written
// as pairs "shown text|pattern|shown text|pattern".
struct FileDialogOptions {
    QString title;
    QString filter;
    QString defaultSuffix;  // without the dot; added when the typed name has none
    QString fileName;
};

// The imagery layer as 设置 → 影像图层... shows and returns it.
struct ImageryChoice {
    QString source;  // file, folder or service address; empty for none
    int opacityPercent = 100;
    bool visible = true;
};

// Where a profile's route, a sampling boundary or a contour area comes from.
enum class ShapeSource {
    View,     // the ground in the map window (contours only)
    KmlFile,  // a path or polygon of a KML/KMZ file
    Drawing,  // a polyline picked in the drawing window
    Map,      // clicked on the map, ended with a right click or Enter
};

enum class TerrainProduct { Profile, BoundarySampling, Contours };

// What 纵断面..., 区域采点... and 等高线到CAD图形... ask before they run.
struct TerrainProductChoice {
    ShapeSource source = ShapeSource::KmlFile;
    QString stepText;                // profile interval, grid spacing or contour interval (metres)
    bool ellipsoidChainage = false;  // profile: chainage on the ellipsoid, not the survey plane
};

struct ControlPointsRequest;
struct ControlPointsOutcome;

// What 椭球与分带... starts from, and what it gives back: the national system with the
// projection page's central meridian, which a zone number must fit.
struct ProjectionRequest {
    geodesy::ProjectionChoice current;
    QString centralMeridianText;             // L0 of the projection page, as typed (may be empty)
    std::optional<double> viewCentreLonDeg;  // longitude of the map window's centre, with a viewer
};
struct ProjectionAnswer {
    geodesy::ProjectionChoice choice;
    QString centralMeridianText;  // L0 for the projection page: as it was, or as changed in the dialog
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual void ShowMessage(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) = 0;
    // True for Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& title) = 0;
    // As AskYesNo, with 否 as the button that Enter presses: for a question whose 是 loses
    // the user's data. Without an implementation of its own, the same as AskYesNo.
    virtual bool AskYesNoDefaultNo(QWidget* owner, const QString& text, const QString& title);
    // The chosen path, or an empty text when the user cancelled.
    virtual QString GetSaveFileName(QWidget* owner, const FileDialogOptions& options) = 0;
    virtual QString GetOpenFileName(QWidget* owner, const FileDialogOptions& options) = 0;
    // A folder, or an empty text when the user cancelled.
    virtual QString GetExistingDirectory(QWidget* owner, const QString& title) = 0;
    // One line of text, starting from `text`; a null text when the user cancelled. Without
    // a user to ask (an implementation that does not override it) every request is cancelled.
    virtual QString GetText(QWidget* owner, const QString& title, const QString& label, const QString& text);
    // The imagery layer, starting from `current`; nothing when the user cancelled. Without a
    // user to ask every request is cancelled.
    virtual std::optional<ImageryChoice> ChooseImagery(QWidget* owner, const ImageryChoice& current);
    // The source and step of a terrain product, starting from `current`; nothing when the
    // user cancelled (as without a user to ask).
    virtual std::optional<TerrainProductChoice> ChooseTerrainProduct(QWidget* owner, TerrainProduct product,
                                                                     const TerrainProductChoice& current);
    // The index of one of `items`, or -1 when the user cancelled (as without a user to ask).
    virtual int ChooseItem(QWidget* owner, const QString& title, const QString& label,
                           const QStringList& items);
    // 四参数求解: the control points as the user leaves them, and the values of "应用" when it
    // was pressed. Without a user to ask, the points come back unchanged and nothing applied.
    virtual ControlPointsOutcome EditControlPoints(QWidget* owner, const ControlPointsRequest& request);
    // 椭球与分带: the national system and the central meridian, starting from the request;
    // nothing when the user cancelled (as without a user to ask).
    virtual std::optional<ProjectionAnswer> ChooseProjection(QWidget* owner,
                                                             const ProjectionRequest& request);
    // 导出 with names or descriptions that hold the separator or a line break: `text` names
    // the rows. The character that is to replace them, starting from `suggested`; it is one
    // character that points::IsSeparatorReplacement accepts for `separator`. Nothing when
    // the user cancelled (as without a user to ask).
    virtual std::optional<QString> ChooseSeparatorReplacement(QWidget* owner, const QString& text,
                                                              const QString& separator,
                                                              const QString& suggested);
};

class QtDialogs : public Dialogs {
public:
    void ShowMessage(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) override;
    bool AskYesNo(QWidget* owner, const QString& text, const QString& title) override;
    bool AskYesNoDefaultNo(QWidget* owner, const QString& text, const QString& title) override;
    QString GetSaveFileName(QWidget* owner, const FileDialogOptions& options) override;
    QString GetOpenFileName(QWidget* owner, const FileDialogOptions& options) override;
    QString GetExistingDirectory(QWidget* owner, const QString& title) override;
    QString GetText(QWidget* owner, const QString& title, const QString& label, const QString& text) override;
    std::optional<ImageryChoice> ChooseImagery(QWidget* owner, const ImageryChoice& current) override;
    std::optional<TerrainProductChoice> ChooseTerrainProduct(QWidget* owner, TerrainProduct product,
                                                             const TerrainProductChoice& current) override;
    int ChooseItem(QWidget* owner, const QString& title, const QString& label,
                   const QStringList& items) override;
    ControlPointsOutcome EditControlPoints(QWidget* owner, const ControlPointsRequest& request) override;
    std::optional<ProjectionAnswer> ChooseProjection(QWidget* owner,
                                                     const ProjectionRequest& request) override;
    std::optional<QString> ChooseSeparatorReplacement(QWidget* owner, const QString& text,
                                                      const QString& separator,
                                                      const QString& suggested) override;
};

// The 确定 / 取消 row of the program's own dialogs, accepting and rejecting `dialog`.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

// "Text files (*.dat)|*.dat|All (*.*)|*.*" → "Text files (*.dat *.DAT);;All (*)".
// Patterns of one entry are separated by ';'; each is offered in lower and upper case;
// "*.*" means every file, also those without an extension.
QString QtFilterFromPairs(const QString& pairs);

}  // namespace keldarn::app
