// The windows of the player live in this folder.
