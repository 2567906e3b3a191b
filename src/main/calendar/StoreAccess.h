#pragma once

class EventStore;
struct Context;

// The calendar store, with every call it makes bounded by the program's store call limit.
EventStore& eventStoreOf(Context& context);
