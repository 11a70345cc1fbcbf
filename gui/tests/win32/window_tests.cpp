// The frame window's tests follow once the toolkit's core links.
