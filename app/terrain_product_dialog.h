#pragma once

// 纵断面, 区域采点 and 等高线: where the route or area comes from, and the step in metres.

#include "app/dialogs.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace keldarn::app {

class TerrainProductDialog : public QDialog {
    Q_OBJECT

public:
    TerrainProductDialog(QWidget* owner, TerrainProduct product, const TerrainProductChoice& current);

    // What the fields say; the step trimmed.
    TerrainProductChoice Choice() const;

private:
    QButtonGroup* sources_;
    QLineEdit* step_;
    QCheckBox* ellipsoid_ = nullptr;
};

}  // namespace keldarn::app
