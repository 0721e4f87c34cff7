#include "accounts/DialogPlacement.h"

DialogOrigin CentreOnDesktop(int desktopLeft, int desktopTop, int desktopRight, int desktopBottom,
                             int clientWidth, int clientHeight) {
    return {(desktopLeft + desktopRight - clientWidth) / 2,
            (desktopTop + desktopBottom - clientHeight) / 2};
}
