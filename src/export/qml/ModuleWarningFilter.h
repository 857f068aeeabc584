#pragma once

// The qmldir files of these modules carry no "module" line: Qt refuses to load the plugin of a
// module with that line once its namespace holds types, and a host that constructs a model (which
// registers the model type) or calls ZEPHTreeItem::RegisterRolesEnum() before it imports the modules
// must still be able to import them. For such a module Qt warns, once per process, that it cannot
// be protected from external registrations, which is what these modules want. The filter drops that
// one message: a plugin starts it when Qt constructs the plugin, right before Qt warns, and ends it
// when Qt asks the plugin for its types, right after. Every other message goes on to the handler
// that was installed before.
class ModuleWarningFilter {
public:
    static void begin(const char* uri);
    static void end();
};
