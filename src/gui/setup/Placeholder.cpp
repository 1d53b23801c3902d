// Removed once the subsystem has screens of its own.
namespace kp70 {}
