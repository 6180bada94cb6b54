#pragma once

// The drawing window's document as the automation interface sees it: model space,
// drawing variables and selection sets over one DrawingModel. It knows nothing of
// widgets; the window gives it two hooks, one that is called when the drawing changed
// (once until the window calls ChangesShown(), so adding a quarter of a million
// entities costs no repaint each) and one that runs the interactive pick.
//
// Selection sets exist only while a command runs: the command adds one, lets the user
// pick, reads it and deletes it. Their entities stay highlighted until then.

#include "cad/acad_automation.h"
#include "cad/drawing_model.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace keldarn::cad {

class DrawingSelectionSet;

// One picked entity, read through the automation interface.
class DrawingEntity : public IAcadEntity {
public:
    DrawingEntity(const DrawingModel& model, EntityRef entity) : model_(&model), entity_(entity) {}

    EntityRef Ref() const { return entity_; }

    std::string ObjectName() const override;
    // A text's box is its estimated box (see TextCorners): from the baseline at the
    // insertion point, 1.0 × height per wide and 0.8 × height per other character long
    // and one height high, rotation applied; z is the text's elevation. A polyline's box
    // holds its vertices and the arcs of bulged segments; z is 0.
    void GetBoundingBox(Point3& lowerLeft, Point3& upperRight) const override;
    std::string TextString() const override;
    Point3 InsertionPoint() const override;
    bool closed() const override;
    std::vector<double> Coordinates() const override;
    std::array<double, 2> Coordinate(int index) const override;

private:
    const DrawingText& Text(const char* operation) const;
    const DrawingPolyline& Polyline(const char* operation) const;

    const DrawingModel* model_;
    EntityRef entity_;
};

class DrawingDocument : public IAcadDocument, public IAcadModelSpace, public IAcadSelectionSets {
public:
    // Runs the selection on screen: the entities picked in order, or nullopt when the
    // user ended it with Esc or closed the window.
    using Picker = std::function<std::optional<std::vector<EntityRef>>()>;

    DrawingDocument();
    ~DrawingDocument() override;

    DrawingModel& Model() { return model_; }
    const DrawingModel& Model() const { return model_; }
    // Replaces the drawing (new or opened drawing). Refused (false) while a selection set
    // exists, because its entities belong to the drawing shown now.
    bool ReplaceModel(DrawingModel model);

    void SetChangedHook(std::function<void()> changed) { changed_ = std::move(changed); }
    // For whoever adds to Model() directly (contours, elevation points): calls the changed
    // hook as the automation interface's additions do, so that the window repaints once,
    // refits while it follows the extents and updates its caption and status line.
    void ModelChanged() { ReportChange(); }
    // The window has shown the changes; the next change calls the hook again.
    void ChangesShown() { changeReported_ = false; }
    void SetPicker(Picker picker) { picker_ = std::move(picker); }
    void SetSelectionHook(std::function<void()> selectionChanged)
    {
        selectionChanged_ = std::move(selectionChanged);
    }

    bool HasSelectionSets() const { return !sets_.empty(); }
    bool IsSelecting() const { return selecting_; }
    // Entities of every selection set, to be shown highlighted.
    std::vector<EntityRef> SelectedEntities() const;

    // IAcadDocument
    IAcadModelSpace& ModelSpace() override { return *this; }
    double GetVariable(const std::string& name) const override;
    IAcadSelectionSets& SelectionSets() override { return *this; }

    // IAcadModelSpace. Coordinates must be finite, a text's height positive, a polyline
    // given by at least two (x, y) pairs; anything else throws AcadError.
    void AddPoint(const Point3& point) override;
    void AddText(const std::string& text, const Point3& insertionPoint, double height) override;
    void AddLightWeightPolyLine(const std::vector<double>& vertices) override;

    // IAcadSelectionSets. A set of a name already in use is replaced, unless a selection
    // on screen runs on it.
    IAcadSelectionSet& Add(const std::string& name) override;

private:
    friend class DrawingSelectionSet;

    void ReportChange();
    void RemoveSet(const DrawingSelectionSet* set);
    std::optional<std::vector<EntityRef>> RunPicker();
    void SelectionChanged();

    DrawingModel model_;
    std::function<void()> changed_;
    std::function<void()> selectionChanged_;
    Picker picker_;
    bool changeReported_ = false;
    bool selecting_ = false;
    std::vector<std::unique_ptr<DrawingSelectionSet>> sets_;
};

class DrawingSelectionSet : public IAcadSelectionSet {
public:
    DrawingSelectionSet(DrawingDocument& document, std::string name)
        : document_(document), name_(std::move(name))
    {
    }

    const std::string& Name() const { return name_; }

    // Admits only the filter "<or <and LWPolyline and> <and Text and> or>" (group codes
    // -4 -4 0 -4 -4 0 -4 -4, names in any case); any other throws AcadError. The set
    // then holds the texts and polylines picked, in pick order; Esc or closing the
    // window leaves it empty.
    void SelectOnScreen(const std::vector<std::int16_t>& filterTypes,
                        const std::vector<std::string>& filterData) override;
    int Count() const override { return static_cast<int>(entities_.size()); }
    const IAcadEntity& Item(int index) const override;
    void Delete() override;

    std::vector<EntityRef> Entities() const;

private:
    DrawingDocument& document_;
    std::string name_;
    std::vector<DrawingEntity> entities_;
};

}  // namespace keldarn::cad
