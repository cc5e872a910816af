#pragma once

#include <string>
#include <vector>

// The help pages (HTML files under res/help/html) and the control-to-topic map.
// Pure functions over fixed data, callable from any thread.

inline constexpr const char* kHelpFileName = "Sonvera.chm";
inline constexpr const char* kHelpIndexPage = "index.htm";

// The help reference of a control, as F1 over it opens: "Sonvera.chm::/html/SkipButton.htm"
// for the skip button, ..., "Sonvera.chm::/html/Overview.htm" for any other control.
std::string HelpTopicForControl(int controlId);

// The page file name ("SkipButton.htm") of a reference "Sonvera.chm::/html/SkipButton.htm"
// or of a bare page name. Empty when the reference does not name a plain page of the help
// folder (other prefixes, sub-folders, "..", other extensions).
std::string HelpPageFile(const std::string& topicRef);

// The folder holding the pages: $SONVERA_HELP_DIR when set, else the folder next to the
// program ("help/html" in the program's folder or
// up to two folders above it) when it exists, else the source tree's res/help/html.
std::string HelpDirectory();

// Full path of a page (HelpDirectory() + "/" + HelpPageFile(topicRef)); empty when the
// reference is not a valid page name.
std::string HelpPagePath(const std::string& topicRef);

// Every topic page, index first.
std::vector<std::string> HelpPages();

// The text of the pop-up hint with help context `contextId` (1000: the window went to the
// tray) in `languageId`; English fallback; "" for an unknown context.
std::string HelpPopupText(int contextId, int languageId);
