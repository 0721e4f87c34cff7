#pragma once
// The subclassing both pane bases share. Each object type T keeps its own process-wide map
// from control handle to object (user-interface thread only), so a shared window procedure
// can find the object a message is for. install() registers an object and puts proc in front
// of the control's own procedure; restore() gives the control its own procedure back, so
// that no message can reach the object once it is gone (or once the control is).
#include <windows.h>

#include <map>

template <class T> class CControlMap {
public:
    static T* find(HWND control) {
        auto it = map().find(control);
        return it == map().end() ? nullptr : it->second;
    }

    // The control's previous procedure, to be handed to restore().
    static WNDPROC install(HWND control, T* object, WNDPROC proc) {
        map()[control] = object;
        return reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
    }

    static void restore(HWND control, WNDPROC previous) {
        if (IsWindow(control))
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        map().erase(control);
    }

private:
    static std::map<HWND, T*>& map() {
        static std::map<HWND, T*> controls;
        return controls;
    }
};
