#pragma once

// A drawing out to KML: the single-line texts and lightweight polylines that the user picks
// (the window) or that a window around the whole drawing picks (the command line), written
// as a KML file through the reverse of the survey frame (see cad::WriteKmlFromSelection).

#include "cad/acad_automation.h"
#include "cad/kml_writer.h"
#include "survey/survey_frame.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace keldarn::ops {

// The selection filter "<or <and LWPolyline and> <and Text and> or>": single-line texts and
// lightweight polylines only (group code -4: a logical operator, 0: an entity type).
inline const std::vector<std::int16_t> kTextsAndPolylinesFilterTypes = {-4, -4, 0, -4, -4, 0, -4, -4};
inline const std::vector<std::string> kTextsAndPolylinesFilterData = {"<or",  "<and", "LWPolyline", "and>",
                                                                      "<and", "Text", "and>",       "or>"};

// Lets the user pick the texts and polylines of `document` into a selection set of the given
// name, which is deleted again on every path, and calls `use` with it.
template <typename Use> void WithPickedTextsAndPolylines(cad::IAcadDocument& document, const char* name, Use use)
{
    cad::IAcadSelectionSet& selection = document.SelectionSets().Add(name);
    struct Guard {
        cad::IAcadSelectionSet& set;
        ~Guard()
        {
            try {
                set.Delete();
            } catch (...) {
                // The drawing window may already be gone; there is nothing left to delete.
            }
        }
    } guard{selection};
    selection.SelectOnScreen(kTextsAndPolylinesFilterTypes, kTextsAndPolylinesFilterData);
    use(static_cast<const cad::IAcadSelectionSet&>(selection));
}

// Picks and writes `target` in one step (a failure leaves the old file as it was). Nothing
// when nothing was picked. Throws as cad::WriteKmlFromSelection: kml::KmlError when every
// entity was left out, cad::AcadError naming an entity that cannot be read,
// fileio::FileWriteError.
std::optional<cad::KmlWriteResult> WritePickedAsKml(cad::IAcadDocument& document, const survey::SurveyFrame& frame,
                                                    const std::filesystem::path& target);

// The entities left out as far outside the zone, in the interface language; empty for none.
std::string LeftOutOfKml(const cad::KmlWriteResult& result);

}  // namespace keldarn::ops
