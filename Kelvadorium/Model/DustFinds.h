// The dust tool's bookkeeping over plain values: which scans of the roll help a find, how a
// candidate is named and judged faint, what a removal adds to the record and what it tells the
// user. A candidate is one find: one spot for a speck, a chain of spots sharing a group for a
// hair.
#pragma once

#include <QString>
#include <cstddef>
#include <filesystem>
#include <set>
#include <vector>

#include "Record/Spot.h"
#include "Support/Uuid.h"

namespace DustFinds {

// The indices of at most four other scans in the folder of scans[selected], nearest in the list
// first, the earlier of two at the same distance first.
std::vector<size_t> sampleIndices(const std::vector<std::filesystem::path>& scans, size_t selected);

// The group of the candidate's first spot, else that spot's id; the nil id for an empty one.
Uuid candidateID(const std::vector<Spot>& candidate);

// The first spot's score is known and below 0.5.
bool isFaint(const std::vector<Spot>& candidate);

std::set<Uuid> faintIDs(const std::vector<std::vector<Spot>>& candidates);

// The spots of the candidates that do not stay, in candidate order, made heal repairs without a
// detector score.
std::vector<Spot> repairsFor(const std::vector<std::vector<Spot>>& candidates,
                             const std::set<Uuid>& kept);

// How many candidates with spots do not stay.
size_t removedCount(const std::vector<std::vector<Spot>>& candidates, const std::set<Uuid>& kept);

// The notice after a removal of `count` finds; the undo hint only when something was added.
QString removalNotice(size_t count, const QString& undoKey);

}  // namespace DustFinds
