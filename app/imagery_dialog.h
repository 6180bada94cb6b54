#pragma once

// 影像图层: the imagery source (a file, a folder of tiles or a service address typed or
// pasted), its opacity and whether it is shown.

#include "app/dialogs.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace keldarn::app {

class ImageryDialog : public QDialog {
    Q_OBJECT

public:
    ImageryDialog(QWidget* owner, const ImageryChoice& current);

    // What the fields say; the source trimmed.
    ImageryChoice Choice() const;

private:
    QLineEdit* source_;
    QSpinBox* opacity_;
    QCheckBox* visible_;
};

}  // namespace keldarn::app
