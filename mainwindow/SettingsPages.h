#pragma once
// The half of loading and saving the settings that faces the user: the settings fields shown in
// the controls of the three pages, and taken back from them. The registry half is in
// SettingsRegistry.h; the main window joins the two.
//
// Threads: UI thread only (the pages' controls belong to it).

#include "settings/Settings.h"

namespace tovra {

class CAdvancedPage;
class CLocalPage;
class CSitePage;

struct SettingsPages {
    CLocalPage& local;
    CSitePage& site;
    CAdvancedPage& advanced;
};

// Fills the controls from the fields: the Local/Web choice, the seven site texts and passive mode,
// the two proxy texts, force upload and the site list. The detected address is not among them: it is shown as
// a detection result. Any unsaved edit in these controls is replaced.
void ShowSettings(const Settings& settings, const SettingsPages& pages);

// Takes the fields from the controls, each text cut to the length a save may store. Web detection
// is on unless "Local" is selected. LastIP and PostFrequency have no control and stay as they are.
void TakeSettings(Settings& settings, const SettingsPages& pages);

} // namespace tovra
