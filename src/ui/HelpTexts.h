#pragma once

#include <QString>

namespace ui {

// The program's own version and date as the About box shows them.
inline constexpr const char* kToolVersion = "5.1.6";
inline constexpr const char* kToolDate = "8/9/2019";

QString aboutText(const QString& newSoftwareVersion, const QString& binFileDate);
// The platform whose instructions apply: the connected one, else the packaged one.
int resolvedPlatformId(int connectedPlatformId, int packagedPlatformId);
// Instructions to force the terminal into its Boot ROM, chosen by platform number.
QString troubleshootingText(int resolvedPlatformId);

}  // namespace ui
