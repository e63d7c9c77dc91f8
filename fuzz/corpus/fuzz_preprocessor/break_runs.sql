

first


second
third

x