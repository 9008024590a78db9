// written in a following commit
