#pragma once

// The program's way of waiting inside a handler: other events keep running.
namespace EventPump {
// Processes pending events once.
void doEvents();
// Sleeps until an event comes, then processes what is pending: a wait for an
// operation that reports itself, without spinning the processor.
void waitForEvents();
// Serves events for ms milliseconds, scaled by the time scale.
void wait(int ms);
// Serves events for ms milliseconds of real time.
void waitUnscaled(int ms);
// How many of the waits above are running: more than none means a handler
// is waiting halfway through its step.
int depth();
}  // namespace EventPump
