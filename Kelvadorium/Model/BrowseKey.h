// The keys the preview hands to keyboard browsing: the four arrows, the mark key and Delete
// (forward Delete arrives as Delete too). Compared by case only; never stored.
#pragma once

enum class BrowseKey { left, right, up, down, mark, delete_ };
