#pragma once
// Where a prompt goes when it centres itself on the desktop; pure arithmetic, tested on every
// build.

struct DialogOrigin {
    int left;
    int top;
};

// The top-left corner that centres a dialog whose client area is clientWidth x clientHeight
// on the desktop rectangle; halves are rounded toward zero.
DialogOrigin CentreOnDesktop(int desktopLeft, int desktopTop, int desktopRight, int desktopBottom,
                             int clientWidth, int clientHeight);
