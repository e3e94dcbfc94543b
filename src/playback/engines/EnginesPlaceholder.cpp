// The real engines live in this folder.
