// What a run needs to know about the game folder before its first change:
// which of the files it may create do not exist yet (the only ones that its
// roll-back may delete), and whether its roll-back could put everything back
// if the run failed at any point.
#pragma once

#include <string>
#include <vector>

// The backups that stand in the folder now, named as the player finds them:
// "art_01.bak" .. "art_03.bak", "script/Results.bak", "database\bak".  False,
// with `problem` naming the name and the reason, when the system cannot tell
// whether one stands.
bool FindBackupsInTheFolder(std::vector<std::string>& found, std::string& problem);

// Fills `absent` (passed empty) with the files and folders of
// FilesTheRunChanges() that the system says do not exist.  False, with
// `problem` naming the file and the reason, when the run must not begin: the
// existence of a file cannot be told, "database" or "script" is not a folder
// (a link to one neither: the run never walks through a link) that can be
// listed and written, or a file that a step moves is not a file (or a link
// to one) that can be read.
bool SurveyGameFolder(std::vector<std::string>& absent, std::string& problem);
