#pragma once

// An in-memory drawing window for window tests: records what is drawn and hands out a
// preset selection.

#include "cad/acad_automation.h"

#include <memory>
#include <vector>

namespace keldarn::testing {

struct FakeText {
    std::string text;
    cad::Point3 at;
    double height = 0.0;
};

class FakeAcadEntity : public cad::IAcadEntity {
public:
    FakeAcadEntity(std::string text, double x, double y) : name_("AcDbText"), text_(std::move(text)), at_{x, y, 0} {}
    FakeAcadEntity(std::vector<double> vertices, bool closed)
        : name_("AcDbPolyline"), vertices_(std::move(vertices)), closed_(closed)
    {
    }
    std::string ObjectName() const override { return name_; }
    void GetBoundingBox(cad::Point3& ll, cad::Point3& ur) const override
    {
        if (vertices_.empty()) {
            ll = at_;
            ur = {at_.x + 10, at_.y + 3, 0};
            return;
        }
        ll = ur = {vertices_[0], vertices_[1], 0};
        for (std::size_t i = 0; i + 1 < vertices_.size(); i += 2) {
            ll.x = std::min(ll.x, vertices_[i]);
            ll.y = std::min(ll.y, vertices_[i + 1]);
            ur.x = std::max(ur.x, vertices_[i]);
            ur.y = std::max(ur.y, vertices_[i + 1]);
        }
    }
    std::string TextString() const override { return text_; }
    cad::Point3 InsertionPoint() const override { return at_; }
    bool closed() const override { return closed_; }
    std::vector<double> Coordinates() const override { return vertices_; }
    std::array<double, 2> Coordinate(int i) const override
    {
        return {vertices_.at(2 * static_cast<std::size_t>(i)), vertices_.at(2 * static_cast<std::size_t>(i) + 1)};
    }

private:
    std::string name_;
    std::string text_;
    cad::Point3 at_;
    std::vector<double> vertices_;
    bool closed_ = false;
};

class FakeAcad : public cad::IAcadApplication,
                 public cad::IAcadDocument,
                 public cad::IAcadModelSpace,
                 public cad::IAcadSelectionSets,
                 public cad::IAcadSelectionSet {
public:
    // Application and document.
    void SetVisible(bool v) override { visible = v; }
    cad::IAcadDocument& ActiveDocument() override { return *this; }
    cad::IAcadModelSpace& ModelSpace() override { return *this; }
    double GetVariable(const std::string& name) const override { return name == "LtScale" ? ltScale : 0.0; }
    cad::IAcadSelectionSets& SelectionSets() override { return *this; }

    // Model space.
    void AddPoint(const cad::Point3& p) override { points.push_back(p); }
    void AddText(const std::string& text, const cad::Point3& at, double height) override
    {
        texts.push_back({text, at, height});
    }
    void AddLightWeightPolyLine(const std::vector<double>& vertices) override { polylines.push_back(vertices); }

    // Selection.
    cad::IAcadSelectionSet& Add(const std::string& name) override
    {
        setName = name;
        setAlive = true;
        ++setsMade;
        return *this;
    }
    void SelectOnScreen(const std::vector<std::int16_t>& types, const std::vector<std::string>& data) override
    {
        filterTypes = types;
        filterData = data;
        picked = std::move(toPick);
    }
    int Count() const override { return static_cast<int>(picked.size()); }
    const cad::IAcadEntity& Item(int index) const override { return *picked.at(static_cast<std::size_t>(index)); }
    void Delete() override { setAlive = false; }

    bool visible = false;
    double ltScale = 2.0;
    std::vector<cad::Point3> points;
    std::vector<FakeText> texts;
    std::vector<std::vector<double>> polylines;
    std::string setName;
    bool setAlive = false;
    int setsMade = 0;
    std::vector<std::int16_t> filterTypes;
    std::vector<std::string> filterData;
    std::vector<std::unique_ptr<FakeAcadEntity>> toPick;
    std::vector<std::unique_ptr<FakeAcadEntity>> picked;
};

}  // namespace keldarn::testing
