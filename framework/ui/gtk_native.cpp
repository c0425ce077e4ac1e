#include "gtk_native.h"

#include <dlfcn.h>

namespace
{

struct GdkRect
{
    int x, y, width, height;
};

template <class F> F Symbol(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

// The widget when it is a GtkEntry: wx's single-line text control is one.
void* Entry(wxWindow* field)
{
    using IsA = int (*)(void*, unsigned long);
    using EntryType = unsigned long (*)();
    static const auto isA = Symbol<IsA>("g_type_check_instance_is_a");
    static const auto entryType = Symbol<EntryType>("gtk_entry_get_type");
    void* widget = field != nullptr ? static_cast<void*>(field->GetHandle()) : nullptr;
    if (widget == nullptr || isA == nullptr || entryType == nullptr || !isA(widget, entryType()))
        return nullptr;
    return widget;
}

} // namespace

int AfxEntryTextAreaWidth(wxWindow* field)
{
    using TextArea = void (*)(void*, GdkRect*);
    static const auto textArea = Symbol<TextArea>("gtk_entry_get_text_area");
    void* entry = Entry(field);
    if (entry == nullptr || textArea == nullptr)
        return -1;
    GdkRect rect{0, 0, 0, 0};
    textArea(entry, &rect);
    return rect.width;
}

int AfxEntryTextWidth(wxWindow* field, const wxString& text)
{
    using GetLayout = void* (*)(void*);
    using Copy = void* (*)(void*);
    using SetText = void (*)(void*, const char*, int);
    using PixelSize = void (*)(void*, int*, int*);
    using Unref = void (*)(void*);
    static const auto getLayout = Symbol<GetLayout>("gtk_entry_get_layout");
    static const auto copy = Symbol<Copy>("pango_layout_copy");
    static const auto setText = Symbol<SetText>("pango_layout_set_text");
    static const auto pixelSize = Symbol<PixelSize>("pango_layout_get_pixel_size");
    static const auto unref = Symbol<Unref>("g_object_unref");
    void* entry = Entry(field);
    if (entry == nullptr || !getLayout || !copy || !setText || !pixelSize || !unref)
        return -1;
    // The entry's own layout carries its font and attributes; a copy measures other texts.
    void* layout = copy(getLayout(entry));
    if (layout == nullptr)
        return -1;
    const wxScopedCharBuffer utf8 = text.utf8_str();
    setText(layout, utf8.data(), static_cast<int>(utf8.length()));
    int width = 0;
    int height = 0;
    pixelSize(layout, &width, &height);
    unref(layout);
    return width;
}

int AfxEntryScrollOffset(wxWindow* field)
{
    using Get = void (*)(void*, const char*, ...);
    static const auto get = Symbol<Get>("g_object_get");
    void* entry = Entry(field);
    if (entry == nullptr || get == nullptr)
        return -1;
    int offset = -1;
    get(entry, "scroll-offset", &offset, nullptr);
    return offset;
}

void AfxSetAccessibleName(wxWindow* window, const std::string& name)
{
    using Accessible = void* (*)(void*);
    using SetName = void (*)(void*, const char*);
    static const auto accessible = Symbol<Accessible>("gtk_widget_get_accessible");
    static const auto setName = Symbol<SetName>("atk_object_set_name");
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (widget == nullptr || accessible == nullptr || setName == nullptr)
        return;
    if (void* object = accessible(widget))
        setName(object, name.c_str());
}

std::string AfxGetAccessibleName(wxWindow* window)
{
    using Accessible = void* (*)(void*);
    using GetName = const char* (*)(void*);
    static const auto accessible = Symbol<Accessible>("gtk_widget_get_accessible");
    static const auto getName = Symbol<GetName>("atk_object_get_name");
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (widget == nullptr || accessible == nullptr || getName == nullptr)
        return {};
    void* object = accessible(widget);
    const char* name = object != nullptr ? getName(object) : nullptr;
    return name != nullptr ? name : "";
}

void AfxSetAccessibleDescription(wxWindow* window, const std::string& description)
{
    using Accessible = void* (*)(void*);
    using SetDescription = void (*)(void*, const char*);
    static const auto accessible = Symbol<Accessible>("gtk_widget_get_accessible");
    static const auto set = Symbol<SetDescription>("atk_object_set_description");
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (widget == nullptr || accessible == nullptr || set == nullptr)
        return;
    if (void* object = accessible(widget))
        set(object, description.c_str());
}

std::string AfxGetAccessibleDescription(wxWindow* window)
{
    using Accessible = void* (*)(void*);
    using GetDescription = const char* (*)(void*);
    static const auto accessible = Symbol<Accessible>("gtk_widget_get_accessible");
    static const auto get = Symbol<GetDescription>("atk_object_get_description");
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (widget == nullptr || accessible == nullptr || get == nullptr)
        return {};
    void* object = accessible(widget);
    const char* text = object != nullptr ? get(object) : nullptr;
    return text != nullptr ? text : "";
}

void AfxSetModalPopupFrame(wxWindow* window)
{
    using Realize = void (*)(void*);
    using GetWindow = void* (*)(void*);
    using SetFlags = void (*)(void*, int);
    static const auto realize = Symbol<Realize>("gtk_widget_realize");
    static const auto getWindow = Symbol<GetWindow>("gtk_widget_get_window");
    static const auto setDecorations = Symbol<SetFlags>("gdk_window_set_decorations");
    static const auto setFunctions = Symbol<SetFlags>("gdk_window_set_functions");
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (widget == nullptr || !realize || !getWindow || !setDecorations || !setFunctions)
        return;
    realize(widget);
    void* gdkWindow = getWindow(widget);
    if (gdkWindow == nullptr)
        return;
    // GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU, and GDK_FUNC_MOVE | GDK_FUNC_CLOSE:
    // the window manager otherwise offers minimise and maximise on a dialog as on any window.
    setDecorations(gdkWindow, (1 << 1) | (1 << 3) | (1 << 4));
    setFunctions(gdkWindow, (1 << 2) | (1 << 5));
}

std::string AfxFileChooserFileName(wxWindow* dialog)
{
    using IsA = int (*)(void*, unsigned long);
    using ChooserType = unsigned long (*)();
    using GetFileName = char* (*)(void*);
    using Free = void (*)(void*);
    static const auto isA = Symbol<IsA>("g_type_check_instance_is_a");
    static const auto chooserType = Symbol<ChooserType>("gtk_file_chooser_get_type");
    static const auto getFileName = Symbol<GetFileName>("gtk_file_chooser_get_filename");
    static const auto release = Symbol<Free>("g_free");
    void* widget = dialog != nullptr ? static_cast<void*>(dialog->GetHandle()) : nullptr;
    if (widget == nullptr || !isA || !chooserType || !getFileName || !release ||
        !isA(widget, chooserType()))
        return {};
    // GLib's file names are the file system's own bytes, whatever the locale says.
    char* name = getFileName(widget);
    if (name == nullptr)
        return {};
    std::string bytes(name);
    release(name);
    return bytes;
}

void AfxSetAccessibleRole(wxWindow* window, const char* role)
{
    using Accessible = void* (*)(void*);
    using RoleForName = int (*)(const char*);
    using SetRole = void (*)(void*, int);
    static const auto accessible = Symbol<Accessible>("gtk_widget_get_accessible");
    static const auto roleForName = Symbol<RoleForName>("atk_role_for_name");
    static const auto setRole = Symbol<SetRole>("atk_object_set_role");
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (widget == nullptr || accessible == nullptr || roleForName == nullptr || setRole == nullptr)
        return;
    const int value = roleForName(role);
    void* object = accessible(widget);
    // ATK_ROLE_INVALID, 0, for a name it does not know.
    if (object != nullptr && value != 0)
        setRole(object, value);
}

void AfxNeverTakeFocus(wxWindow* window)
{
    using SetBool = void (*)(void*, int);
    static const auto setCanFocus = Symbol<SetBool>("gtk_widget_set_can_focus");
    static const auto setFocusOnClick = Symbol<SetBool>("gtk_widget_set_focus_on_click");
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (widget == nullptr)
        return;
    if (setCanFocus != nullptr)
        setCanFocus(widget, 0);
    if (setFocusOnClick != nullptr)
        setFocusOnClick(widget, 0);
}
