#pragma once

// Construction order of the two static objects whose lifetimes are tied across translation
// units: the application first, then the settings object, so that at exit the settings object
// (which closes the driver) is destroyed before the application. Lower runs first.
constexpr int kAppInitPriority = 1001;
constexpr int kSettingsInitPriority = 1002;
