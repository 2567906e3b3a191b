#pragma once

// Declares a backend module's entry point for one platform interface: the program looks up
// veskMake<Interface> in the module and calls it the first time a command uses that service.
#define VESK_MODULE_ENTRY(Interface, Implementation) \
  extern "C" Interface* veskMake##Interface() { return new Implementation(); }
// The same for a module with more than one implementation of an interface: the program looks up
// veskMake<Name>.
#define VESK_NAMED_ENTRY(Interface, Name, Implementation) \
  extern "C" Interface* veskMake##Name() { return new Implementation(); }
