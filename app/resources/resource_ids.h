/* Resource ids shared by app.rc and the windows that show the resources. */
#pragma once

/* The program icon; the window runtime gives it to every window that names no other. */
#define IDI_TIDEWICK 1
/* The help picture: a context menu on tidewick.exe pointing at "Run as administrator". */
#define IDB_HELP_PICTURE 101
/* The emblem of the about window. */
#define IDB_EMBLEM 102
