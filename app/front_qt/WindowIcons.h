// The small pictures of the windows, drawn in code.
#pragma once

#include <QIcon>
#include <QPixmap>

// A 20 x 20 folder on a transparent ground.
QPixmap FolderPixmap();
// A loudspeaker for the "Hear the Sound" buttons, with its own disabled look.
QIcon SpeakerIcon();
// The program's icon (packaging/brelka.svg), the windows' own.
QIcon ProgramIcon();
