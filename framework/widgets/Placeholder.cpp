namespace tolvar { int guiPlaceholder = 0; }
